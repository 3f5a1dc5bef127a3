#ifndef NALVO_FOUNDATION_CANCELFLAG_H
#define NALVO_FOUNDATION_CANCELFLAG_H

#include <atomic>

// A cancel request that one thread (the GUI, a copy worker's cancel call)
// sets while another runs a long operation and looks at it between blocks.
// Operations take it as `const CancelFlag*`; null never cancels.
using CancelFlag = std::atomic<bool>;

inline bool IsCancelled(const CancelFlag* flag)
{
    // Relaxed: the flag carries no data with it, the reader only has to see
    // it eventually, which the next block's look guarantees.
    return flag && flag->load(std::memory_order_relaxed);
}

#endif
