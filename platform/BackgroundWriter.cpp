#include "BackgroundWriter.h"

#include "Archive.h"

#include <QIODevice>
#include <cerrno>

BackgroundWriter::BackgroundWriter(QIODevice& device) : m_device(device), m_thread([this] { Run(); }) {}

BackgroundWriter::~BackgroundWriter() {
    {
        const std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundWriter::Hand(std::string& buffer, std::size_t n) {
    std::unique_lock lock(m_mutex);
    WaitIdle(lock);
    m_buffer.swap(buffer);
    m_nPending = n;
    lock.unlock();
    m_changed.notify_all();
}

void BackgroundWriter::Wait() {
    std::unique_lock lock(m_mutex);
    WaitIdle(lock);
}

void BackgroundWriter::WaitIdle(std::unique_lock<std::mutex>& lock) {
    m_changed.wait(lock, [this] { return m_nPending == 0; });
    if (m_failure)
        std::rethrow_exception(m_failure); // and again at every later call: nothing more is handed on
}

void BackgroundWriter::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_nPending > 0 || m_bStop; });
        if (m_nPending == 0)
            return;
        lock.unlock();
        std::exception_ptr failure;
        try {
            WriteOut(m_device, std::string_view(m_buffer.data(), m_nPending));
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_failure = failure;
        m_nPending = 0;
        m_changed.notify_all();
    }
}
