#pragma once

// The external variables every rule can read. Rules are compiled with these declared and every scan sets
// them anew, so a rule can gate on where a file is, what happened to it and what it contains.
// rules/README.md documents them for rule authors; keep the two in step.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

typedef struct _YR_COMPILER YR_COMPILER;
typedef struct YR_SCAN_CONTEXT YR_SCANNER;

namespace tw {

struct FileFacts
{
    std::string path;      // filepath
    std::string name;      // filename
    std::string extension; // extension: lower case, no dot, "" when none
    std::string changes;   // changes: the change words joined by single spaces
    bool isExecutable = false;
    std::int64_t size = 0; // file_size: the whole file's size, not just the part that was read
    bool isTruncated = false;
};

// Splits a path into the name and the lower-cased extension of its last component. A leading dot does
// not start an extension: ".envrc" has none, "x.tar.GZ" has "gz".
FileFacts describePath(std::string_view path);

std::string joinChanges(const std::vector<std::string>& words);

// Declares every variable with a neutral default. Returns false when libyara refused one.
bool declareExternals(YR_COMPILER* compiler);

// Sets every variable for the next scan of the view named `view`. Returns false when libyara refused one.
bool setExternals(YR_SCANNER* scanner, const FileFacts& facts, const char* view);

} // namespace tw
