#pragma once

// The viewer's one way to read a file: opened once without blocking (a FIFO or device planted under
// the name cannot stall the open), checked on the opened descriptor, and read from that descriptor
// only, in chunks, within a byte limit, a deadline and a cancel flag. No second open follows a check.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

struct ReadBounds
{
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    const std::atomic<bool>* cancelled = nullptr;

    bool over() const;
};

enum class ReadEnd {
    Whole,     // every byte up to the end of the file
    Truncated, // the file goes on past the byte limit
    Failed,    // a read error
    Stopped,   // the deadline passed or the work was cancelled
};

class BoundedFile
{
public:
    enum class Links { Follow, Refuse };

    // A regular file, or nullopt (missing, unreadable, a link when refused, anything not regular).
    static std::optional<BoundedFile> open(const QByteArray& nativePath, Links links);
    static std::optional<BoundedFile> open(const QString& path, Links links);

    BoundedFile(BoundedFile&& other) noexcept;
    BoundedFile& operator=(BoundedFile&& other) noexcept;
    BoundedFile(const BoundedFile&) = delete;
    BoundedFile& operator=(const BoundedFile&) = delete;
    ~BoundedFile();

    qint64 size() const { return m_size; } // when opened
    bool executable() const { return m_executable; }

    // From the start: hands at most `limit` bytes to `sink`, a chunk at a time.
    ReadEnd read(qint64 limit, const ReadBounds& bounds,
                 const std::function<void(QByteArrayView)>& sink) const;
    // The same into one array.
    ReadEnd readAll(qint64 limit, const ReadBounds& bounds, QByteArray& bytes) const;

private:
    explicit BoundedFile(int fd);

    int m_fd = -1;
    qint64 m_size = 0;
    bool m_executable = false;
};
