#ifndef NALVO_FOUNDATION_SPREADWORK_H
#define NALVO_FOUNDATION_SPREADWORK_H

#include <functional>

// Runs independent items side by side: work(index, worker) once for every
// index in [0, count), on the calling thread (worker 0) and on up to
// threads - 1 helper threads (workers 1 .. threads - 1), each taking the
// next index still free. A worker number lets the caller give each thread
// its own reader; an item's result is written only by the thread that ran it.
//
// After each item the calling thread ran, callerAfterEach(finished) is told
// how many items are finished; it runs on the calling thread only, so it may
// show progress or look at the user's cancel. False from it, or from work,
// stops every worker before its next item; SpreadWork then returns false.
//
// A helper the system cannot start leaves its share to the others and the
// calling thread. Every helper is joined before SpreadWork returns, also
// when work or callerAfterEach throws on the calling thread; work must not
// throw on a helper.
bool SpreadWork(int count, int threads, const std::function<bool(int index, int worker)>& work,
                const std::function<bool(int finished)>& callerAfterEach = {});

// How many threads load a list of count takes side by side: one for a
// short list, where starting threads costs more than it saves, else as many
// as the machine has, at most six (more only wait on the disk).
int TakeLoaderThreads(int count);

#endif
