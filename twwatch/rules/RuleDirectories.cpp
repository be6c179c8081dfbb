#include "rules/RuleDirectories.h"
#include "watch/Utf8.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace tw {

namespace {

void collect(const fs::path& dir, bool reportMissing, std::vector<fs::path>& out, std::ostream& diagnostics)
{
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        if (reportMissing)
            diagnostics << "twwatch: no rule folder at " << escapeForTerminal(dir.string()) << "\n";
        return;
    }
    std::vector<fs::path> found;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const auto ext = it->path().extension();
        if ((ext == ".yar" || ext == ".yara") && it->is_regular_file(ec))
            found.push_back(it->path());
    }
    if (ec)
        diagnostics << "twwatch: cannot read rule folder " << escapeForTerminal(dir.string()) << ": "
                    << ec.message() << "\n";
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
}

} // namespace

fs::path bundledRuleDir()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    return exe.parent_path() / "rules";
}

fs::path userRuleDir()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // XDG base directories: a relative value is invalid and must be ignored.
    if (xdg && xdg[0] == '/')
        return fs::path(xdg) / "tarnwick" / "rules";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return fs::path(home) / ".config" / "tarnwick" / "rules";
    return {};
}

std::vector<fs::path> ruleFiles(const RuleLoadOptions& options, std::ostream& diagnostics)
{
    std::vector<fs::path> files;
    if (options.loadBundled)
        collect(options.bundledDir.empty() ? bundledRuleDir() : options.bundledDir, true, files, diagnostics);
    if (options.loadUser) {
        const fs::path user = options.userDir.empty() ? userRuleDir() : options.userDir;
        if (!user.empty())
            collect(user, false, files, diagnostics);
    }
    return files;
}

} // namespace tw
