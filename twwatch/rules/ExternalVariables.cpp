#include "rules/ExternalVariables.h"

#include <yara.h>

#include <algorithm>
#include <cctype>

namespace tw {

FileFacts describePath(std::string_view path)
{
    FileFacts facts;
    facts.path = std::string(path);
    const auto slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    facts.name = std::string(name);
    const auto dot = name.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
        facts.extension = std::string(name.substr(dot + 1));
        std::transform(facts.extension.begin(), facts.extension.end(), facts.extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    }
    return facts;
}

std::string joinChanges(const std::vector<std::string>& words)
{
    std::string joined;
    for (const auto& w : words) {
        if (!joined.empty())
            joined += ' ';
        joined += w;
    }
    return joined;
}

bool declareExternals(YR_COMPILER* compiler)
{
    return yr_compiler_define_string_variable(compiler, "filepath", "") == ERROR_SUCCESS &&
           yr_compiler_define_string_variable(compiler, "filename", "") == ERROR_SUCCESS &&
           yr_compiler_define_string_variable(compiler, "extension", "") == ERROR_SUCCESS &&
           yr_compiler_define_string_variable(compiler, "changes", "") == ERROR_SUCCESS &&
           yr_compiler_define_boolean_variable(compiler, "is_executable", 0) == ERROR_SUCCESS &&
           yr_compiler_define_integer_variable(compiler, "file_size", 0) == ERROR_SUCCESS &&
           yr_compiler_define_boolean_variable(compiler, "is_truncated", 0) == ERROR_SUCCESS &&
           yr_compiler_define_string_variable(compiler, "view", "raw") == ERROR_SUCCESS;
}

bool setExternals(YR_SCANNER* scanner, const FileFacts& facts, const char* view)
{
    return yr_scanner_define_string_variable(scanner, "filepath", facts.path.c_str()) == ERROR_SUCCESS &&
           yr_scanner_define_string_variable(scanner, "filename", facts.name.c_str()) == ERROR_SUCCESS &&
           yr_scanner_define_string_variable(scanner, "extension", facts.extension.c_str()) ==
               ERROR_SUCCESS &&
           yr_scanner_define_string_variable(scanner, "changes", facts.changes.c_str()) == ERROR_SUCCESS &&
           yr_scanner_define_boolean_variable(scanner, "is_executable", facts.isExecutable) ==
               ERROR_SUCCESS &&
           yr_scanner_define_integer_variable(scanner, "file_size", facts.size) == ERROR_SUCCESS &&
           yr_scanner_define_boolean_variable(scanner, "is_truncated", facts.isTruncated) == ERROR_SUCCESS &&
           yr_scanner_define_string_variable(scanner, "view", view) == ERROR_SUCCESS;
}

} // namespace tw
