#pragma once

#include <string>

#include "support/ending_session.h"
#include "support/temp_dir.h"
#include "varnex/session/filterable_varnex.h"

namespace window_test {

// A session as the lists own one, that a test can run to its end.
using EndingFilterableSession = testing_support::EndingSessionOf<CFilterableVarnex>;

// A folder of small files whose detection is certain, in several encodings:
//   bom.txt     UTF-8 with BOM (65001)       plain.txt  ASCII (0)
//   u16.txt     UTF-16 LE with BOM (1200)    twice.txt  UTF-8 encoded twice: a warning
//   russian.txt windows-1251 prose (1251)    image.png  binary (-1)
std::string MakeMixedFolder(const testing_support::TempDir& dir);

// Runs a detection of folder in session; false when it did not end.
bool DetectFolder(EndingFilterableSession& session, const std::string& folder);

}  // namespace window_test
