#pragma once

#include <memory>

#include "app/window/qt_handler_target.h"

// The interface thread's end of the directory watchers' report queue. The
// queue is process-wide, so every watch of the window shares one: the first
// user makes it, the last one gone takes it down.
class CWatchReports {
public:
    static std::shared_ptr<CWatchReports> Acquire();
    ~CWatchReports();

private:
    CWatchReports();

    CQtHandlerTarget m_target;
};
