#include "player/threadpriority.h"

#include <QtGlobal>

#if defined(Q_OS_UNIX)
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <algorithm>

namespace {
// Below the priorities sound servers and audio drivers take for themselves.
constexpr int kAudioRealTimePriority = 20;
}

QString RaiseAudioThreadPriority()
{
#if defined(Q_OS_UNIX)
    const int top = std::min(kAudioRealTimePriority, sched_get_priority_max(SCHED_FIFO));
    sched_param param{};
    param.sched_priority = top;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
        return QStringLiteral("real-time %1").arg(top);
    // An unprivileged process may still hold a real-time allowance.
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0) {
        param.sched_priority = int(std::min<rlim_t>(limit.rlim_cur, rlim_t(top)));
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
            return QStringLiteral("real-time %1").arg(param.sched_priority);
    }
#if defined(Q_OS_LINUX)
    // The nice value of this thread alone: the lowest the system allows.
    const pid_t thread = pid_t(syscall(SYS_gettid));
    for (int nice = -20; nice < 0; ++nice) {
        if (setpriority(PRIO_PROCESS, id_t(thread), nice) == 0)
            return QStringLiteral("nice %1").arg(nice);
    }
#endif
#endif
    return QStringLiteral("normal");
}
