#pragma once

#include <chrono>
#include <string>

#include "support/temp_dir.h"
#include "varnex/session/filterable_varnex.h"
#include "varnex/session/session_end_signal.h"

namespace window_test {

// A session as the lists own one, that a test can run to its end.
class EndingFilterableSession : public CFilterableVarnex {
public:
    EndingFilterableSession() : CFilterableVarnex(&m_end, nullptr) {}
    ~EndingFilterableSession() override { DisposeVarnex(); }
    bool WaitForEnd() { return m_end.WaitForStops(1, std::chrono::minutes(2)); }

private:
    CSessionEndSignal m_end;
};

// A folder of small files whose detection is certain, in several encodings:
//   bom.txt     UTF-8 with BOM (65001)       plain.txt  ASCII (0)
//   u16.txt     UTF-16 LE with BOM (1200)    twice.txt  UTF-8 encoded twice: a warning
//   russian.txt windows-1251 prose (1251)    image.png  binary (-1)
std::string MakeMixedFolder(const testing_support::TempDir& dir);

// Runs a detection of folder in session; false when it did not end.
bool DetectFolder(EndingFilterableSession& session, const std::string& folder);

}  // namespace window_test
