#pragma once

#include <chrono>

#include "varnex/session/session_end_signal.h"
#include "varnex/session/varnex.h"

namespace testing_support {

// The end signal, in a base that comes before the session: it outlives the
// session's threads, which post to it.
struct EndSignalHolder {
    CSessionEndSignal m_end;
};

// A session a test can wait on until it has ended: a CVarnex, or one of its
// subclasses (the views' filterable session).
template <class Session = CVarnex> class EndingSessionOf : private EndSignalHolder, public Session {
public:
    EndingSessionOf() : Session(&m_end, nullptr) { }
    bool WaitForEnd(std::chrono::minutes limit = std::chrono::minutes(2)) { return m_end.WaitForStops(1, limit); }
};

using EndingSession = EndingSessionOf<>;

}  // namespace testing_support
