#pragma once

// The views of one file that rules are evaluated on besides its raw bytes. Each view is derived only
// when it can exist: the file's name decides `config` and `commands`, a byte order mark, a NUL pattern
// or a CR decides `text`. Later views are derived from `text` when there is one. A view that fails to
// derive is simply absent; the raw bytes are always scanned.

#include "rules/ExternalVariables.h"
#include "rules/views/ConfigLeaves.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The name the `view` external variable holds while the raw bytes are scanned.
inline constexpr const char* kRawView = "raw";

// Every derived view stays within this many bytes for an input of `inputSize` bytes: a bounded
// multiple of it, and never more than 1 MiB, which is plenty for the files views are about (a manifest,
// a settings file, a workflow) and keeps the watcher's memory flat on large generated data.
inline constexpr std::size_t kViewCap = 1024 * 1024;
inline constexpr std::size_t kDataViewCap = 256 * 1024;
inline constexpr std::size_t viewBudget(std::size_t inputSize)
{
    return std::min(inputSize * 4 + 64 * 1024, kViewCap);
}

struct ViewText
{
    const char* name;
    std::string_view content;
    // The file's line each of the view's lines comes from (0: unknown); null when the view's own lines
    // are the file's (the text view).
    const LineOrigins* origins = nullptr;
};

class DerivedViews
{
public:
    // Derives the views of a file whose raw content is `raw`; the previous file's views are dropped.
    // `whole`: `raw` is the whole file, not its first window (only then are config and commands derived).
    void derive(const FileFacts& facts, std::string_view raw, bool whole = true);
    // The derived views, in scan order: text, config, commands (only those that exist).
    const std::vector<ViewText>& views() const { return m_views; }
    // Gives back the memory a large file took.
    void release();

private:
    std::string m_text;
    std::string m_config;
    std::string m_commands;
    LineOrigins m_configOrigins;
    LineOrigins m_commandsOrigins;
    std::vector<ViewText> m_views;
};

} // namespace tw
