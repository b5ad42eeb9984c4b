#pragma once

#include <cstdint>

// Where the engine posts its notifications: the window of the user interface
// (which queues an event for its own thread), the command line (a thread-safe
// queue) or a test's recorder. Post never blocks on the receiver and may be
// called from any thread.
class HandlerTarget {
public:
    virtual ~HandlerTarget() = default;
    virtual void Post(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
};
