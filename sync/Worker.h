#pragma once
// A thread of its own for the pieces of a sync that take milliseconds (reading a
// server's answer of thousands of cards, mapping cards, planning, the state file),
// which the window's keys must not wait for. Each piece's result is handed back on
// the owner's thread, in order.

#include <QObject>
#include <QThreadPool>

class Worker {
public:
    Worker() { m_pool.setMaxThreadCount(1); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    /// Runs `work` on the worker's thread, then `then` with its result on this one.
    /// Nothing runs after the worker is destroyed: it waits for the work under way.
    template <class Work, class Then> void Run(Work work, Then then) {
        m_pool.start([this, work = std::move(work), then = std::move(then)]() mutable {
            QMetaObject::invokeMethod(
                &m_context, [then = std::move(then), result = work()]() mutable { then(std::move(result)); },
                Qt::QueuedConnection);
        });
    }

private:
    QObject m_context; // where results are delivered; destroyed after the pool has finished
    QThreadPool m_pool;
};
