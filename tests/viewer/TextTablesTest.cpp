// Table tests for the viewer's pure text handling: opening lines and cut lines, the display form of
// invisible characters, git plumbing records, UTF-8 read in pieces, match rows and desktop Exec lines.

#include "viewer/GitTreeEntries.h"
#include "viewer/InvisibleMarks.h"
#include "viewer/MatchRows.h"
#include "viewer/TextEditorLauncher.h"
#include "viewer/TextLines.h"
#include "viewer/Utf8.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// QString::fromUtf16 would drop a leading U+FEFF as a byte order mark.
QString u16(const char16_t* text)
{
    return QStringView(text).toString();
}

// The tag characters that hide `ascii`.
QString tags(const char* ascii)
{
    QString out;
    for (const char* c = ascii; *c; ++c) {
        const char32_t tag = 0xE0000 + static_cast<unsigned char>(*c);
        out += QString::fromUcs4(&tag, 1);
    }
    return out;
}

TEST(ViewerLineSplitting, OpeningLinesStopAfterAWholeLine)
{
    const struct
    {
        const char* text;
        qsizetype lines;
        qsizetype maxChars;
        const char* opening;
    } rows[] = {
        {"a\nb\nc\n", 2, 100, "a\nb"},       // more lines than asked
        {"a\n", 5, 100, "a\n"},              // a trailing line feed is kept when whole
        {"aaaa\nbbbb\ncccc", 10, 7, "aaaa"}, // the character bound cuts after a whole line
        {"aaaaaaaaaa", 10, 4, "aaaa"},       // one giant line is cut at the bound
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(openingLines(QString::fromUtf8(row.text), row.lines, row.maxChars),
                  QString::fromUtf8(row.opening));
    }
}

TEST(ViewerLineSplitting, LongLinesAreCutWithTheirFullLength)
{
    struct Row
    {
        const char* name;
        const char* text;
        const char* cut;
        std::vector<std::pair<qsizetype, qsizetype>> cuts; // line, full length
    };
    const Row rows[] = {
        {"each long line cut, the others kept", "abcdef\nab\nabcde", "abcd\nab\nabcd", {{0, 6}, {2, 5}}},
        {"a pair of surrogates stays whole", "abc\xF0\x9F\x98\x80x", "abc", {{0, 6}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CutText cut = cutLongLines(QString::fromUtf8(row.text), 4);
        EXPECT_EQ(cut.text, QString::fromUtf8(row.cut));
        std::vector<std::pair<qsizetype, qsizetype>> cuts;
        for (const LineCut& c : cut.cuts)
            cuts.emplace_back(c.line, c.fullLength);
        EXPECT_EQ(cuts, row.cuts);
    }
}

// Each hidden character becomes a U+ token; a run of tag characters shows the text it hides.
TEST(ViewerInvisibleMarks, HiddenCharactersBecomeMarkedTokens)
{
    const QString blackFlag = u16(u"\U0001F3F4");
    const QString cancel = tags("\x7F");
    const QString england = blackFlag + tags("gbeng") + cancel;
    const QString wales = blackFlag + tags("gbwls") + cancel;
    const QString plain =
        u16(u"abc\n\tcaf\u00E9 \U0001F600 ") + england + blackFlag + tags("gbsct") + cancel + "\n" + wales;
    struct Row
    {
        const char* name;
        QString text;
        QString display;
        std::vector<MarkSpan> marks;
    };
    const Row rows[] = {
        {"text, tabs, accents, emoji and the flags of England, Scotland and Wales stay", plain, plain, {}},
        {"bidi controls, zero widths and joiners, on any line",
         u16(u"a\u202Eb\n\u2066\u200B\u200C\u200D\u2060\u2069"),
         QStringLiteral("aU+202Eb\nU+2066U+200BU+200CU+200DU+2060U+2069"),
         {{0, 1, 6}, {1, 0, 6}, {1, 6, 6}, {1, 12, 6}, {1, 18, 6}, {1, 24, 6}, {1, 30, 6}}},
        {"separators and control characters",
         QStringView(u"\u2028\u2029\u0000\u001B\u007F\u0085", 6).toString(),
         QStringLiteral("U+2028U+2029U+0000U+001BU+007FU+0085"),
         {{0, 0, 6}, {0, 6, 6}, {0, 12, 6}, {0, 18, 6}, {0, 24, 6}, {0, 30, 6}}},
        {"byte order mark but at the start", u16(u"\uFEFFa\uFEFF"), u16(u"\uFEFFaU+FEFF"), {{0, 2, 6}}},
        {"CRLF ends a line, a lone CR is marked", "a\r\nb\rc", "a\nbU+000Dc", {{1, 1, 6}}},
        {"tags outside ASCII's printable range shown by their code, never breaking the line",
         u16(u"x\U000E0001") + tags("en") + u16(u"\U000E000A\U000E000D\U000E0000y"),
         u16(u"x\u27E6hidden: "
             u"\u27E8U+E0001\u27E9en\u27E8U+E000A\u27E9\u27E8U+E000D\u27E9\u27E8U+E0000\u27E9\u27E7y"),
         {{0, 1, 48}}},
        {"one mark per run, one per line, the whole printable range shown",
         "a" + tags("rm ~{}<>\"'`\\|") + "\n" + tags("-rf") + "\r\nb" + tags("/"),
         u16(u"a\u27E6hidden: rm ~{}<>\"'`\\|\u27E7\n\u27E6hidden: -rf\u27E7\nb\u27E6hidden: /\u27E7"),
         {{0, 1, 23}, {1, 0, 13}, {2, 1, 11}}},
        {"a lone surrogate ends nothing, runs between other hidden characters",
         QString(QChar(0xD800)) + tags("a") + u16(u"\u200B") + tags("b"),
         u16(u"U+D800\u27E6hidden: a\u27E7U+200B\u27E6hidden: b\u27E7"),
         {{0, 0, 6}, {0, 6, 11}, {0, 17, 6}, {0, 23, 11}}},
        // Tags after a whole flag, a flag without its cancel tag, another code under the black flag, a
        // cancel tag alone after a flag.
        {"tags that make no known flag are hidden text",
         england + tags("curl x|sh") + " " + blackFlag + tags("gbeng") + " " + blackFlag + tags("gbxss") +
             cancel + " " + wales + cancel,
         england + u16(u"\u27E6hidden: curl x|sh\u27E7 ") + blackFlag + u16(u"\u27E6hidden: gbeng\u27E7 ") +
             blackFlag + u16(u"\u27E6hidden: gbxss\u27E8U+E007F\u27E9\u27E7 ") + wales +
             u16(u"\u27E6hidden: \u27E8U+E007F\u27E9\u27E7"),
         {{0, 14, 19}, {0, 36, 15}, {0, 54, 24}, {0, 93, 19}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const DisplayText display = makeDisplayText(row.text);
        EXPECT_EQ(display.text, row.display);
        EXPECT_EQ(display.marks, row.marks);
    }
}

// Ordinary records are the diff loader's test against real git; these are the shapes it rarely meets.
TEST(ViewerGitPlumbing, ParsesLsTreeAndLsFilesRecords)
{
    const auto entries =
        parseLsTree(QByteArray("160000 commit bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb       -\tsub") + '\0');
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ(entries->front().type, QByteArray("commit"));
    EXPECT_EQ(entries->front().size, -1);
    const auto files =
        parseLsFiles(QByteArray("100644 cccccccccccccccccccccccccccccccccccccccc 2\tconflict") + '\0');
    ASSERT_TRUE(files.has_value());
    ASSERT_EQ(files->size(), 1u);
    EXPECT_EQ(files->front().stage, 2);
    EXPECT_FALSE(parseLsTree(QByteArray("garbage") + '\0').has_value());
    EXPECT_FALSE(parseLsFiles(QByteArray("100644 x\tname") + '\0').has_value());
}

TEST(ViewerGitPlumbing, OnlyPlainRelativePathsAreRecreated)
{
    for (const char* good : {"a", "dir/file", "-x", "with space", ".hidden", "a/..b"})
        EXPECT_TRUE(isSafeRelativePath(good)) << good;
    for (const char* bad : {"", "/etc/passwd", "../x", "a/../../x", "a//b", "./a", "a/.", "a/"})
        EXPECT_FALSE(isSafeRelativePath(bad)) << bad;
}

TEST(ViewerUtf8, StreamedInAnyPiecesDecodesAsAWhole)
{
    // Every piece size splits some character; a character cut by the end of the input is an error
    // unless the input was cut on purpose.
    const QByteArray good = "a\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9\n\xEF\xBB\xBFz";
    const QString text = u16(u"a\u20AC\U0001F600\u00E9\n\uFEFFz");
    struct Row
    {
        QByteArray bytes;
        bool cutEndAllowed;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {good + "\xF0\x9F", false, std::nullopt},
        {good + "\xF0\x9F", true, text},
        {QByteArray("ab\xC0\xAF") + "cd", true, std::nullopt},
        {"ab\xED\xA0\x80", false, std::nullopt},
        {QByteArray("\x80") + "abc", true, std::nullopt},
    };
    for (const Row& row : rows) {
        for (qsizetype piece = 1; piece <= row.bytes.size() + 1; ++piece) {
            Utf8Stream stream(2);
            for (qsizetype at = 0; at < row.bytes.size(); at += piece)
                stream.feed(QByteArrayView(row.bytes).sliced(at, std::min(piece, row.bytes.size() - at)));
            EXPECT_EQ(stream.finish(row.cutEndAllowed), row.expected)
                << row.bytes.toHex().constData() << " in " << piece;
        }
    }
}

} // namespace

TEST(ViewerMatchRows, FileLinesMapToNewSideRowsOfTheDiff)
{
    // Rows: 0-3 headers, 4 hunk, 5 " a"(1), 6 "-b", 7 "+++ c"(2, an added line that looks like a
    // header), 8 " d"(3), 9 "\", 10 hunk, 11 "+x"(20), 12 " y"(21), 13 next file's header.
    const QString diff = QStringLiteral("diff --git a/f b/f\nindex 1..2 100644\n--- a/f\n+++ b/f\n"
                                        "@@ -1,3 +1,3 @@\n a\n-b\n+++ c\n d\n\\ No newline at end of file\n"
                                        "@@ -19 +20,2 @@\n+x\n y\n"
                                        "diff --git a/g b/g\n@@ -1 +1 @@\n+z\n");
    const struct
    {
        QList<int> lines;
        std::vector<int> rows;
    } cases[] = {
        {{1, 2, 3}, {5, 7, 8}}, {{21, 20}, {11, 12}}, {{4, 19, 22}, {}}, // not on the new side of any hunk
    };
    for (const auto& c : cases)
        EXPECT_EQ(diffRowsOfLines(diff, c.lines), c.rows) << c.lines.size();
    EXPECT_EQ(fileRowsOfLines({3, 1, 3, 0}), (std::vector<int>{0, 2}));
}

TEST(ViewerTextEditor, DesktopExecIsSplitAndFilledWithoutAShell)
{
    const QString file = QStringLiteral("/tmp/a b;$(x).desktop");
    const QString url = QStringLiteral("file:///tmp/a%20b%3B%24%28x%29.desktop");
    const struct
    {
        const char* exec;
        QStringList args;
    } cases[] = {
        {"gedit %U", {"gedit", url}},
        {"\"/opt/my editor/bin/ed\" --new  %f", {"/opt/my editor/bin/ed", "--new", file}},
        {"sh -c \"echo \\\"\\$HOME\\\" %f\"", {"sh", "-c", "echo \"$HOME\" %f", file}}, // no code in quotes
        {"ed --name=%c %i %k %% %F", {"ed", "--name=Ed", "--icon", "ed-icon", "/e.desktop", "%", file}},
        {"ed %d", {"ed", file}}, // deprecated codes vanish; no file code: the file is appended
        {"ed \"unclosed", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(expandDesktopExec(QString::fromUtf8(c.exec), file, url, QStringLiteral("Ed"),
                                    QStringLiteral("ed-icon"), QStringLiteral("/e.desktop")),
                  c.args)
            << c.exec;
    }
}
