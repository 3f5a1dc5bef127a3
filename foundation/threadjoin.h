#pragma once

#include <mutex>

// Makes the end of a worker thread visible to ThreadSanitizer.
//
// QThread::wait() orders a worker's last writes before the waiting thread
// through a mutex inside QtCore, which is not built with the sanitizer, so
// deleting a worker's members after wait() looks like a race with the
// worker's last reads of them. The worker calls ended() as the last thing
// run() does; the owner calls joined() after wait(). The pair costs one
// uncontended lock each and is harmless in other builds.
class ThreadJoinMark
{
public:
    void ended() { std::lock_guard<std::mutex> lock(m_mutex); }
    void joined() { std::lock_guard<std::mutex> lock(m_mutex); }

private:
    std::mutex m_mutex;
};
