#pragma once

// The shell de-obfuscator behind the `commands` view: rewrites one command line into the words the
// shell would run, so that a rule's literal text survives the usual tricks: quotes splitting a word
// (`"cu""rl"`, `c''url`, `c\url`), `$'\x63url'` and `$"..."`, `${IFS}`, brace lists in command
// position (`{curl,-fsSL,url}`), variables assigned earlier on the same line (`a=cu;b=rl;$a$b`), and
// `printf` / `echo -e` escapes whose output is substituted. White space runs become one space.
// Then one level of decoding: a literal that the line itself decodes (`echo <base64> | base64 -d`,
// `base64 -d <<< <base64>`, `xxd -r -p` of hex, `printf '\x..' | sh`) is returned as extra lines.
// Output is bounded by viewBudget of the input and substitutions nest at most three deep.

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The normalised line; the decoded literals it carries are appended to `decoded` when given.
std::string normaliseCommand(std::string_view command, std::vector<std::string>* decoded = nullptr);

} // namespace tw
