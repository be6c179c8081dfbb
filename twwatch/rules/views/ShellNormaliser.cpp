#include "rules/views/ShellNormaliser.h"

#include "rules/views/DerivedViews.h"
#include "rules/views/TextView.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace tw {

namespace {

constexpr int kMaxNesting = 3;
constexpr std::size_t kMaxVariable = 4096;

bool isNameStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isOperator(char c)
{
    return c == ';' || c == '|' || c == '&' || c == '(' || c == ')' || c == '<' || c == '>';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Backslash escapes as $'...', printf and echo -e read them. `i` is at the character after the
// backslash and is left after the escape.
void decodeEscape(std::string_view s, std::size_t& i, std::string& out)
{
    if (i >= s.size()) {
        out += '\\';
        return;
    }
    const char c = s[i++];
    auto digits = [&](int base, int max) {
        unsigned long v = 0;
        int n = 0;
        while (n < max && i < s.size()) {
            const int d = hexValue(s[i]);
            if (d < 0 || d >= base)
                break;
            v = v * base + d;
            ++i;
            ++n;
        }
        return std::make_pair(v, n);
    };
    switch (c) {
    case 'n':
        out += '\n';
        return;
    case 't':
        out += '\t';
        return;
    case 'r':
        out += '\r';
        return;
    case 'a':
        out += '\a';
        return;
    case 'b':
        out += '\b';
        return;
    case 'e':
    case 'E':
        out += '\x1b';
        return;
    case 'f':
        out += '\f';
        return;
    case 'v':
        out += '\v';
        return;
    case 'x': {
        const auto [v, n] = digits(16, 2);
        if (n == 0)
            out += "\\x";
        else
            out += static_cast<char>(v);
        return;
    }
    case 'u':
    case 'U': {
        const auto [v, n] = digits(16, c == 'u' ? 4 : 8);
        if (n == 0)
            out += std::string("\\") + c;
        else
            appendUtf8(out, static_cast<std::uint32_t>(std::min<unsigned long>(v, 0x110000)));
        return;
    }
    case 'c':
        if (i < s.size())
            out += static_cast<char>(s[i++] & 0x1F);
        return;
    default:
        if (c >= '0' && c <= '7') {
            --i;
            if (s[i] == '0' && i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7')
                ++i; // printf's \0NNN
            const auto [v, n] = digits(8, 3);
            out += static_cast<char>(v & 0xFF);
            (void)n;
            return;
        }
        out += c; // \\ \' \" \? and anything else stand for themselves
    }
}

std::string decodeEscapes(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == '\\') {
            ++i;
            decodeEscape(s, i, out);
        } else {
            out += s[i++];
        }
    }
    return out;
}

// What `printf FORMAT ARGS...` or `echo -e ARGS...` prints, from the already normalised words; empty
// when the line is neither.
bool printedBy(std::string_view line, std::string& printed)
{
    std::vector<std::string_view> words;
    for (std::size_t i = 0; i < line.size();) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const auto end = std::min(line.find(' ', i), line.size());
        if (end > i)
            words.push_back(line.substr(i, end - i));
        i = end;
    }
    if (words.empty())
        return false;
    if (words[0] == "printf" && words.size() >= 2) {
        std::string format = decodeEscapes(words[1]);
        std::size_t arg = 2;
        printed.clear();
        for (std::size_t i = 0; i < format.size(); ++i) {
            if (format[i] == '%' && i + 1 < format.size()) {
                ++i;
                if (format[i] == '%')
                    printed += '%';
                else if (arg < words.size())
                    printed += format[i] == 'b' ? decodeEscapes(words[arg++]) : std::string(words[arg++]);
                continue;
            }
            printed += format[i];
        }
        return true;
    }
    if (words[0] == "echo") {
        std::size_t i = 1;
        bool escapes = false;
        for (; i < words.size() && words[i].size() > 1 && words[i][0] == '-' &&
               words[i].find_first_not_of("neE", 1) == std::string_view::npos;
             ++i)
            escapes = escapes || words[i].find('e') != std::string_view::npos;
        if (!escapes)
            return false;
        printed.clear();
        for (std::size_t j = i; j < words.size(); ++j)
            printed += (j > i ? " " : "") + decodeEscapes(words[j]);
        return true;
    }
    return false;
}

class Normaliser
{
public:
    explicit Normaliser(std::size_t budget)
        : m_budget(budget)
    {
    }

    std::string run(std::string_view s, int depth)
    {
        std::string out;
        bool commandPosition = true;
        std::size_t i = 0;
        while (i < s.size() && out.size() < m_budget) {
            const char c = s[i];
            if (isBlank(c)) {
                if (!out.empty() && out.back() != ' ')
                    out += ' ';
                ++i;
                continue;
            }
            if (isOperator(c)) {
                out += c;
                commandPosition = c != ')' && c != '<' && c != '>';
                ++i;
                continue;
            }
            const std::size_t start = i;
            bool plain = true;
            std::string word = readWord(s, i, depth, plain);
            const std::string_view raw = s.substr(start, i - start);
            const auto eq = raw.find('=');
            if (commandPosition && plain && eq != std::string_view::npos && eq > 0 && isNameStart(raw[0]) &&
                std::all_of(raw.begin(), raw.begin() + eq, isNameChar)) {
                // An assignment: later words on this line may read it.
                const auto weq = word.find('=');
                m_variables[word.substr(0, weq)] = word.substr(weq + 1, kMaxVariable);
                out += word;
                continue;
            }
            if (commandPosition && word.size() > 2 && word.front() == '{' && word.back() == '}' &&
                word.find(',') != std::string::npos && word.find(' ') == std::string::npos) {
                for (char& w : word)
                    if (w == ',')
                        w = ' ';
                out += word.substr(1, word.size() - 2);
            } else {
                out += word;
            }
            commandPosition = false;
        }
        // ${IFS} and substitutions may have left runs of blanks.
        std::string collapsed;
        for (char c : out) {
            if (isBlank(c)) {
                if (!collapsed.empty() && collapsed.back() != ' ')
                    collapsed += ' ';
            } else {
                collapsed += c;
            }
        }
        while (!collapsed.empty() && collapsed.back() == ' ')
            collapsed.pop_back();
        if (collapsed.size() > m_budget)
            collapsed.resize(m_budget);
        return collapsed;
    }

private:
    // One shell word from `i`, its quoting removed and its expansions done; `plain` is cleared when
    // anything was quoted, escaped or expanded.
    std::string readWord(std::string_view s, std::size_t& i, int depth, bool& plain)
    {
        std::string w;
        while (i < s.size() && !isBlank(s[i]) && !isOperator(s[i]) && w.size() < m_budget) {
            const char c = s[i];
            if (c == '\\') {
                plain = false;
                if (i + 1 < s.size() && s[i + 1] != '\n')
                    w += s[i + 1];
                i += 2;
            } else if (c == '\'') {
                plain = false;
                const auto end = s.find('\'', i + 1);
                const auto stop = end == std::string_view::npos ? s.size() : end;
                w += s.substr(i + 1, stop - i - 1);
                i = stop + 1;
            } else if (c == '"') {
                plain = false;
                ++i;
                doubleQuoted(s, i, depth, w);
            } else if (c == '$' && i + 1 < s.size() && s[i + 1] == '\'') {
                plain = false;
                for (i += 2; i < s.size() && s[i] != '\'';) {
                    if (s[i] == '\\') {
                        ++i;
                        decodeEscape(s, i, w);
                    } else {
                        w += s[i++];
                    }
                }
                ++i;
            } else if (c == '$' && i + 1 < s.size() && s[i + 1] == '"') {
                plain = false;
                i += 2;
                doubleQuoted(s, i, depth, w);
            } else if (c == '$' || c == '`') {
                plain = false;
                expansion(s, i, depth, w);
            } else {
                w += c;
                ++i;
            }
        }
        if (i > s.size())
            i = s.size();
        return w;
    }

    void doubleQuoted(std::string_view s, std::size_t& i, int depth, std::string& w)
    {
        while (i < s.size() && s[i] != '"' && w.size() < m_budget) {
            if (s[i] == '\\' && i + 1 < s.size() &&
                std::string_view("$`\"\\\n").find(s[i + 1]) != std::string_view::npos) {
                if (s[i + 1] != '\n')
                    w += s[i + 1];
                i += 2;
            } else if (s[i] == '$' || s[i] == '`') {
                expansion(s, i, depth, w);
            } else {
                w += s[i++];
            }
        }
        ++i;
    }

    // $name, ${name}, $(...) or `...` at `i`.
    void expansion(std::string_view s, std::size_t& i, int depth, std::string& w)
    {
        if (s[i] == '`') {
            const auto end = s.find('`', i + 1);
            const auto stop = end == std::string_view::npos ? s.size() : end;
            w += substitute(s.substr(i + 1, stop - i - 1), depth);
            i = stop + 1;
            return;
        }
        ++i; // the $
        if (i >= s.size()) {
            w += '$';
            return;
        }
        if (s[i] == '(') {
            std::size_t level = 1, j = i + 1;
            for (; j < s.size() && level > 0; ++j) {
                if (s[j] == '(')
                    ++level;
                else if (s[j] == ')')
                    --level;
                else if (s[j] == '\'') {
                    const auto q = s.find('\'', j + 1);
                    j = q == std::string_view::npos ? s.size() - 1 : q;
                }
            }
            const std::size_t innerEnd = level == 0 ? j - 1 : s.size();
            w += substitute(s.substr(i + 1, innerEnd - i - 1), depth);
            i = j;
            return;
        }
        std::string name;
        if (s[i] == '{') {
            const auto end = s.find('}', i);
            const auto stop = end == std::string_view::npos ? s.size() : end;
            name = std::string(s.substr(i + 1, stop - i - 1));
            i = stop + 1;
            if (name.rfind("IFS", 0) == 0) {
                w += ' ';
                return;
            }
            const auto v = m_variables.find(name);
            w += v != m_variables.end() ? v->second : "${" + name + "}";
            return;
        }
        if (s[i] == '@' || s[i] == '*') {
            ++i; // no positional parameters where these run: they expand to nothing
            return;
        }
        const std::size_t start = i;
        while (i < s.size() && isNameChar(s[i]))
            ++i;
        name = std::string(s.substr(start, i - start));
        if (name.empty()) {
            w += '$';
            return;
        }
        if (name == "IFS") {
            w += ' ';
            return;
        }
        const auto v = m_variables.find(name);
        w += v != m_variables.end() ? v->second : "$" + name;
    }

    std::string substitute(std::string_view inner, int depth)
    {
        if (depth >= kMaxNesting)
            return "$(" + std::string(inner) + ")";
        const std::string line = run(inner, depth + 1);
        std::string printed;
        if (printedBy(line, printed))
            return printed;
        return "$(" + line + ")";
    }

    std::size_t m_budget;
    std::map<std::string, std::string> m_variables;
};

bool mostlyText(std::string_view s)
{
    if (s.empty())
        return false;
    std::size_t printable = 0;
    for (unsigned char c : s)
        printable += c >= 0x20 || c == '\n' || c == '\t' || c == '\r';
    return printable * 10 >= s.size() * 9;
}

std::string base64Decode(std::string_view s)
{
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (char c : s) {
        int d;
        if (c >= 'A' && c <= 'Z')
            d = c - 'A';
        else if (c >= 'a' && c <= 'z')
            d = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            d = c - '0' + 52;
        else if (c == '+' || c == '-')
            d = 62;
        else if (c == '/' || c == '_')
            d = 63;
        else if (c == '=' || c == ' ')
            continue;
        else
            return {};
        value = (value << 6) | static_cast<unsigned>(d);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return out;
}

std::string hexDecode(std::string_view s)
{
    std::string out;
    int high = -1;
    for (char c : s) {
        const int d = hexValue(c);
        if (d < 0) {
            if (c == ' ' || c == ':')
                continue;
            return {};
        }
        if (high < 0) {
            high = d;
        } else {
            out += static_cast<char>(high * 16 + d);
            high = -1;
        }
    }
    return out;
}

bool hasFlag(std::string_view segment, std::initializer_list<std::string_view> flags)
{
    for (auto f : flags) {
        const auto at = segment.find(f);
        if (at != std::string_view::npos && at > 0 && segment[at - 1] == ' ' &&
            (at + f.size() == segment.size() || segment[at + f.size()] == ' '))
            return true;
    }
    return false;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

enum class Decoder { None, Base64, Hex };

Decoder decoderOf(std::string_view segment)
{
    segment = trimmed(segment);
    if (segment.rfind("base64", 0) == 0 && hasFlag(segment, {"-d", "--decode", "-D", "-di", "-id"}))
        return Decoder::Base64;
    if (segment.rfind("xxd", 0) == 0 &&
        (hasFlag(segment, {"-rp", "-pr", "-r -p", "-p -r", "-revert -p", "-r -ps"})))
        return Decoder::Hex;
    return Decoder::None;
}

std::string run(Decoder d, std::string_view literal)
{
    return d == Decoder::Base64 ? base64Decode(literal)
           : d == Decoder::Hex  ? hexDecode(literal)
                                : std::string();
}

// The literals this normalised line decodes, also inside its command substitutions
// (`bash -c "$(base64 -d <<< ...)"`), down to kMaxNesting.
void decodeLiterals(std::string_view line, std::vector<std::string>& found, int depth = 0)
{
    for (auto open = line.find("$("); depth < kMaxNesting && open != std::string_view::npos;
         open = line.find("$(", open + 2)) {
        std::size_t level = 1, j = open + 2;
        for (; j < line.size() && level > 0; ++j)
            level += line[j] == '(' ? 1 : line[j] == ')' ? -1 : 0;
        decodeLiterals(line.substr(open + 2, j - open - 2 - (level == 0 ? 1 : 0)), found, depth + 1);
    }
    std::vector<std::string_view> segments;
    for (std::size_t i = 0; i <= line.size();) {
        auto bar = line.find('|', i);
        while (bar != std::string_view::npos && bar + 1 < line.size() && line[bar + 1] == '|')
            bar = line.find('|', bar + 2);
        const auto end = bar == std::string_view::npos ? line.size() : bar;
        segments.push_back(line.substr(i, end - i));
        i = end + 1;
    }
    for (std::size_t k = 0; k < segments.size(); ++k) {
        const std::string_view seg = trimmed(segments[k]);
        // base64 -d <<< literal, xxd -r -p <<< literal
        if (const auto here = seg.find("<<<"); here != std::string_view::npos) {
            const Decoder d = decoderOf(seg.substr(0, here));
            std::string_view literal = trimmed(seg.substr(here + 3));
            literal = literal.substr(0, literal.find(' '));
            if (d != Decoder::None)
                found.push_back(run(d, literal));
        }
        if (k + 1 >= segments.size())
            continue;
        std::string printed;
        if (!printedBy(seg, printed)) {
            if (seg.rfind("echo ", 0) != 0)
                continue;
            std::string_view rest = seg.substr(5);
            while (rest.rfind("-n ", 0) == 0)
                rest.remove_prefix(3);
            printed = std::string(rest);
        } else if (printed != seg.substr(seg.find(' ') + 1)) {
            found.push_back(printed); // printf '\x..' | sh: what runs is the printed text
        }
        const Decoder d = decoderOf(segments[k + 1]);
        if (d != Decoder::None)
            found.push_back(run(d, printed));
    }
}

} // namespace

std::string normaliseCommand(std::string_view command, std::vector<std::string>* decoded)
{
    const std::size_t budget = viewBudget(command.size());
    std::string line = Normaliser(budget).run(command, 0);
    if (decoded) {
        std::vector<std::string> literals;
        decodeLiterals(line, literals);
        for (const auto& l : literals) {
            if (!mostlyText(l))
                continue;
            // One level only: the decoded text is normalised but not decoded again.
            std::size_t pos = 0;
            while (pos <= l.size()) {
                auto end = l.find('\n', pos);
                if (end == std::string::npos)
                    end = l.size();
                std::string piece = Normaliser(budget).run(std::string_view(l).substr(pos, end - pos), 0);
                if (!piece.empty())
                    decoded->push_back(std::move(piece));
                pos = end + 1;
            }
        }
    }
    return line;
}

} // namespace tw
