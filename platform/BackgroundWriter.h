#pragma once
// Writes a large file's bytes on a thread of its own while the caller makes the next
// ones: making a big phone book's bytes takes about as long as the system takes to copy
// them into the file, and on two cores the two go on side by side.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

class QIODevice;

class BackgroundWriter {
public:
    /// Throws std::system_error when no thread can be started: then the caller writes.
    explicit BackgroundWriter(QIODevice& device);
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    /// Waits until the buffer handed before is written, then takes the first `n` bytes
    /// of `buffer` to write and gives back in it that earlier buffer, whatever it holds.
    /// Throws the ArchiveError of a write that failed, at this and every later call.
    void Hand(std::string& buffer, std::size_t n);
    /// Waits until every byte handed is written; throws the failure of a write.
    void Wait();

private:
    void WaitIdle(std::unique_lock<std::mutex>& lock);
    void Run();

    QIODevice& m_device;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_buffer;       // the bytes being written
    std::size_t m_nPending = 0; // bytes of m_buffer to write; 0 when idle
    bool m_bStop = false;
    std::exception_ptr m_failure; // the write that failed
    std::thread m_thread;         // last: starts once the rest is set up
};
