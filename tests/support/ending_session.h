#pragma once

#include <chrono>

#include "varnex/session/session_end_signal.h"
#include "varnex/session/varnex.h"

namespace testing_support {

// A session a test can wait on until it has ended: a CVarnex, or one of its
// subclasses (the views' filterable session).
template <class Session = CVarnex>
class EndingSessionOf : public Session {
public:
    EndingSessionOf() : Session(&m_end, nullptr) {}
    ~EndingSessionOf() override { this->DisposeVarnex(); }
    bool WaitForEnd(std::chrono::minutes limit = std::chrono::minutes(2)) { return m_end.WaitForStops(1, limit); }

private:
    CSessionEndSignal m_end;
};

using EndingSession = EndingSessionOf<>;

}  // namespace testing_support
