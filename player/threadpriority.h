#ifndef NALVO_PLAYER_THREADPRIORITY_H
#define NALVO_PLAYER_THREADPRIORITY_H

#include <QString>

// Raises the calling thread to the highest priority the system grants a
// thread that feeds a sound output: a real-time (first-in first-out)
// priority when the process may take one, at most kAudioRealTimePriority so
// that the sound server and the kernel's own threads still come first;
// else the lowest nice value it may take. Returns what it got, for the
// debug log and the benchmarks ("real-time 20", "nice -11", "normal").
QString RaiseAudioThreadPriority();

#endif
