#ifndef NALVO_TESTS_SUPPORT_TSANDEFAULTS_H
#define NALVO_TESTS_SUPPORT_TSANDEFAULTS_H

// Included once by a test's main file.
#if defined(__SANITIZE_THREAD__)
// Qt 5 is not built for ThreadSanitizer: the memory of a queued call (the
// event and its arguments) that QtCore allocates on one thread and frees or
// copies on another looks raced, since Qt's own locks are out of sight.
// Accesses made inside such uninstrumented libraries are not checked; every
// access of our code, and every pthread and std::mutex hand-over, still is.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
#endif

#endif
