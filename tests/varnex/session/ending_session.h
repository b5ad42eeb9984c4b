#pragma once

#include <chrono>

#include "varnex/session/session_end_signal.h"
#include "varnex/session/varnex.h"

namespace varnex_test {

// A session a test can wait on until it has ended.
class EndingSession : public CVarnex {
public:
    EndingSession() : CVarnex(&m_end, nullptr) {}
    ~EndingSession() override { DisposeVarnex(); }
    bool WaitForEnd() { return m_end.WaitForStops(1, std::chrono::minutes(2)); }

private:
    CSessionEndSignal m_end;
};

}  // namespace varnex_test
