#pragma once

// The views of one file that rules are evaluated on besides its raw bytes. Each view is derived only
// when it can exist: the file's name decides `config` and `commands`, a byte order mark, a NUL pattern
// or a CR decides `text`. Later views are derived from `text` when there is one. A view that fails to
// derive is simply absent; the raw bytes are always scanned.

#include "rules/ExternalVariables.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The name the `view` external variable holds while the raw bytes are scanned.
inline constexpr const char* kRawView = "raw";

// Every derived view stays within this many bytes for an input of `inputSize` bytes.
inline constexpr std::size_t viewBudget(std::size_t inputSize)
{
    return inputSize * 4 + 64 * 1024;
}

struct ViewText
{
    const char* name;
    std::string_view content;
};

class DerivedViews
{
public:
    // Derives the views of a file whose raw content is `raw`; the previous file's views are dropped.
    void derive(const FileFacts& facts, std::string_view raw);
    // The derived views, in scan order: text, config, commands (only those that exist).
    const std::vector<ViewText>& views() const { return m_views; }
    // Gives back the memory a large file took.
    void release();

private:
    std::string m_text;
    std::string m_config;
    std::string m_commands;
    std::vector<ViewText> m_views;
};

} // namespace tw
