// Feeds arbitrary bytes to one decoder of the derived views (chosen at build time by TW_FUZZ_VIEW) and
// checks what the watcher relies on: no crash, no hang, and every view within its budget. The first
// byte picks the file name, so that each surface of the commands view is reached.

#include "rules/ExternalVariables.h"
#include "rules/views/DerivedViews.h"
#include "rules/views/ShellNormaliser.h"
#include "rules/views/TextView.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Paths of the kind this target is about.
constexpr std::string_view kPaths[] = {
#if TW_FUZZ_VIEW == 1
    "/p/a.txt",
    "/p/run.sh",
#elif TW_FUZZ_VIEW == 2
    "/p/package.json",          "/p/.vscode/tasks.json", "/p/.devcontainer/devcontainer.json", "/p/.mcp.json",
    "/p/.claude/settings.json", "/p/x.code-workspace",   "/p/.gemini/settings.json",
#elif TW_FUZZ_VIEW == 3
    "/p/.github/workflows/ci.yml",
    "/p/action.yml",
    "/p/.pre-commit-config.yaml",
    "/p/.yarnrc.yml",
#elif TW_FUZZ_VIEW == 4
    "/p/pyproject.toml",
#elif TW_FUZZ_VIEW == 5
    "/p/.git/config",
    "/p/.gitconfig",
    "/p/.npmrc",
    "/p/setup.cfg",
#else
    "/p/run.sh",
    "/p/.git/hooks/pre-commit",
    "/p/x.pth",
    "/p/.envrc",
#endif
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view path = kPaths[data[0] % std::size(kPaths)];
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

#if TW_FUZZ_VIEW == 1
    std::string text;
    if (tw::decodeText(input, text))
        check(text.size() <= input.size() + input.size() / 2 + 4);
#elif TW_FUZZ_VIEW == 6
    std::vector<std::string> decoded;
    check(tw::normaliseCommand(input, &decoded).size() <= tw::viewBudget(input.size()));
    for (const auto& d : decoded)
        check(d.size() <= tw::viewBudget(input.size()));
#endif
    tw::DerivedViews views;
    views.derive(tw::describePath(path), input);
    for (const auto& v : views.views())
        check(v.content.size() <= tw::viewBudget(input.size()) + 64);
    return 0;
}
