#ifndef NALVO_FILEPROCESS_WORKERLOCK_H
#define NALVO_FILEPROCESS_WORKERLOCK_H

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// The copy worker's lock: re-entrant for the thread that holds it, because
// the run loop and the enqueue path call operations that lock again.
//
// A wait on a condition releases the lock for one level only. A wait entered
// with the lock held twice would keep it held, and the thread meant to wake
// it would block on the lock for ever (a re-entrant Qt lock even returns from
// such a wait at once). So every wait here asserts that the lock is held
// exactly once. Built on std::mutex, so ThreadSanitizer sees every hand-over.
class WorkerLock
{
public:
    void lock()
    {
        const std::thread::id me = std::this_thread::get_id();
        if (m_owner.load(std::memory_order_relaxed) == me) {
            ++m_depth;
            return;
        }
        m_mutex.lock();
        m_owner.store(me, std::memory_order_relaxed);
        m_depth = 1;
    }
    void unlock()
    {
        if (--m_depth == 0) {
            m_owner.store(std::thread::id(), std::memory_order_relaxed);
            m_mutex.unlock();
        }
    }
    bool heldByMe() const { return m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

    // Waits until pred() holds (checked under the lock, so no wake-up is lost).
    template <class Pred>
    void wait(std::condition_variable& condition, Pred pred)
    {
        Released released(*this);
        condition.wait(released.guard, pred);
    }
    // As wait(), at most msecs; false when the time ran out first.
    template <class Pred>
    bool waitFor(std::condition_variable& condition, unsigned long msecs, Pred pred)
    {
        Released released(*this);
        // Far limits (the "no limit" value) would overflow the clock.
        if (msecs >= 1000UL * 3600 * 24 * 365) {
            condition.wait(released.guard, pred);
            return true;
        }
        return condition.wait_for(released.guard, std::chrono::milliseconds(msecs), pred);
    }

private:
    // Hands the one level held to a std::unique_lock for the wait and takes
    // the ownership back afterwards.
    struct Released {
        explicit Released(WorkerLock& lock) : owner(lock), guard(lock.m_mutex, std::adopt_lock)
        {
            Q_ASSERT_X(lock.heldByMe() && lock.m_depth == 1, "WorkerLock::wait",
                       "a wait needs the lock held exactly once");
            lock.m_depth = 0;
            lock.m_owner.store(std::thread::id(), std::memory_order_relaxed);
        }
        ~Released()
        {
            owner.m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
            owner.m_depth = 1;
            guard.release();
        }
        WorkerLock& owner;
        std::unique_lock<std::mutex> guard;
    };

    std::mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
    int m_depth = 0;   // written only by the holder
};

#endif
