#include "foundation/spreadwork.h"

#include <QThread>

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

bool SpreadWork(int count, int threads, const std::function<bool(int, int)>& work,
                const std::function<bool(int)>& callerAfterEach)
{
    std::atomic<int> next{0};
    std::atomic<int> finished{0};
    std::atomic<bool> stopped{false};
    auto run = [&](int worker) {
        while (!stopped.load(std::memory_order_acquire)) {
            const int index = next.fetch_add(1);
            if (index >= count)
                return;
            if (!work(index, worker)) {
                stopped = true;
                return;
            }
            const int done = finished.fetch_add(1) + 1;
            if (worker == 0 && callerAfterEach && !callerAfterEach(done)) {
                stopped = true;
                return;
            }
        }
    };
    std::vector<std::thread> helpers;
    struct tyJoin
    {
        std::vector<std::thread>& helpers;
        std::atomic<bool>& stopped;
        ~tyJoin()
        {
            if (std::uncaught_exceptions() > 0)
                stopped = true;
            for (std::thread& helper : helpers)
                helper.join();
        }
    } join{helpers, stopped};
    try {
        for (int worker = 1; worker < threads && worker < count; ++worker)
            helpers.emplace_back(run, worker);
    } catch (const std::system_error&) {
    }
    run(0);
    for (std::thread& helper : helpers)
        helper.join();
    helpers.clear();
    return !stopped.load();
}

int TakeLoaderThreads(int count)
{
    const int kTakesPerThread = 16;
    return count >= kTakesPerThread ? qBound(1, QThread::idealThreadCount(), 6) : 1;
}
