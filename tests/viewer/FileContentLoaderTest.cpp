// The File tab's loader on real files: text as stored, one fixed text for anything unreadable, a
// bound for huge files, and no hang on files that are not regular.

#include "viewer/FileContentLoader.h"
#include "viewer/GitBlobHash.h"

#include "QtPrinters.h"
#include "TestRepo.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <unistd.h>
#include <vector>

#include <sys/stat.h>

namespace {

// A plain folder, never made a repository.
class ViewerFileLoaderTest : public ::testing::Test, protected TestRepo
{
};

// A byte order mark, CRLF, invisible characters and NUL bytes stay as stored; a link is followed.
TEST_F(ViewerFileLoaderTest, TextIsReturnedAsStored)
{
    const QByteArray bytes("\xEF\xBB\xBF"
                           "a\r\nb\xE2\x80\xAE\0c\r\n",
                           14);
    const QString file = write("f.txt", bytes);
    const FileContent content = readFileContent(file);
    EXPECT_FALSE(content.readFailed);
    EXPECT_FALSE(content.truncated);
    EXPECT_EQ(content.text.toUtf8(), bytes);
    EXPECT_EQ(content.lineCount, 3);
    ASSERT_TRUE(QFile::link(file, path("link.txt")));
    EXPECT_EQ(loadFileContent(path("link.txt")), content.text);
}

TEST_F(ViewerFileLoaderTest, UnreadableInputGivesTheFailureText)
{
    const QString fifo = path("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString unreadable = write("secret.txt", "x");
    QFile::setPermissions(unreadable, QFileDevice::Permissions());
    ASSERT_TRUE(QFile::link(path("missing.txt"), path("dangling")));

    const QString paths[] = {write("latin1.txt", "caf\xE9\n"),
                             write("cut.txt", "ok \xE2\x82"),
                             path("missing.txt"),
                             path("dangling"),
                             root(), // a directory
                             fifo,   // would block a plain read forever
                             "/dev/zero"};
    for (const QString& file : paths) {
        SCOPED_TRACE(file.toStdString());
        const FileContent content = readFileContent(file);
        EXPECT_TRUE(content.readFailed);
        EXPECT_EQ(content.text, fileReadFailureText());
        EXPECT_EQ(content.lineCount, 1);
    }
    // Root reads files whatever their mode.
    EXPECT_EQ(readFileContent(unreadable).readFailed, ::geteuid() != 0);
}

TEST_F(ViewerFileLoaderTest, LargeFilesShowTheirStartUpToTheLastWholeLine)
{
    const QString lines = write("lines.txt", "0123456789\nabcdefghij\nKLMNOPQRST\n");
    FileContent content = readFileContent(lines, 25);
    EXPECT_TRUE(content.truncated);
    EXPECT_FALSE(content.readFailed);
    EXPECT_EQ(content.fileSize, 33);
    EXPECT_EQ(content.text, "0123456789\nabcdefghij\n");
    EXPECT_EQ(content.lineCount, 3);

    content = readFileContent(lines, 33); // exactly at the bound
    EXPECT_FALSE(content.truncated);
    EXPECT_EQ(content.text.size(), 33);

    const QString giant = write("giant.txt", "aa\xE2\x82\xAC\xE2\x82\xAC");
    content = readFileContent(giant, 6);
    EXPECT_TRUE(content.truncated);
    EXPECT_EQ(content.text, "aa\u20AC");
}

// A long file's opening: whole lines of its first bytes, handed over once, before the whole text.
TEST_F(ViewerFileLoaderTest, LongFilesHandOverTheirOpeningLinesFirst)
{
    const QByteArray lines = QByteArray("line \xE2\x82\xAC\r\n").repeated(kFileOpeningBytes / 5);
    struct Row
    {
        const char* name;
        QByteArray bytes;
        bool opening;
    };
    const Row rows[] = {
        {"not UTF-8 past the opening", lines + "\xFF\n", true},
        {"not UTF-8 in the opening", "\xFF\n" + lines, false},
        {"no line feed in the opening", QByteArray(kFileOpeningBytes, 'x') + '\n' + lines, false},
        {"no longer than the opening", lines.first(kFileOpeningBytes), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<FileOpening> openings;
        const FileContent content =
            readFileContent(QFile::encodeName(write("f.txt", row.bytes)), kFileContentLimit, {},
                            [&](FileOpening opening) { openings.push_back(std::move(opening)); });
        ASSERT_EQ(openings.size(), row.opening ? 1u : 0u);
        EXPECT_EQ(content.readFailed, row.bytes.contains('\xFF'));
        if (!row.opening)
            continue;
        // Whole lines, most of the opening bytes, and the gutter sized for about the whole.
        EXPECT_TRUE(row.bytes.startsWith(openings[0].text.toUtf8() + '\n'));
        EXPECT_GT(openings[0].text.size(), kFileOpeningBytes / 3);
        EXPECT_NEAR(openings[0].lineEstimate, row.bytes.count('\n') + 1, 2);
    }
}

// The diff loader hashes the current file to tell whether it changed. A FIFO put in its place must
// not block the worker, and a huge sparse file must not hold it past the loader's deadline.
TEST_F(ViewerFileLoaderTest, HashingRefusesAFifoAndEndsAtTheDeadline)
{
    const QString fifo = path("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString sparse = write("sparse", {});
    ASSERT_EQ(::truncate(QFile::encodeName(sparse).constData(), 100LL << 30), 0);

    for (const QString& file : {fifo, sparse}) {
        SCOPED_TRACE(file.toStdString());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        auto hashing = std::async(std::launch::async, [&] {
            return gitBlobIdOfFile(file, 40, ReadBounds{deadline, nullptr});
        });
        const bool ended = hashing.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        if (!ended) {
            // Let a blocked open return so that the test can end and report.
            const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
        EXPECT_TRUE(ended);
        EXPECT_EQ(hashing.get(), std::nullopt);
    }
}

} // namespace
