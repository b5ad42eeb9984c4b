#pragma once

#include <cerrno>

#include "platform/file_api.h"

namespace testing_support {

// Makes the file layer fail chosen calls while installed, and counts the
// reads and writes it sees.
class FaultInjector : public platform::FileFaultInjector {
public:
    FaultInjector() { platform::SetFileFaultInjector(this); }
    ~FaultInjector() override { platform::SetFileFaultInjector(nullptr); }
    FaultInjector(const FaultInjector&) = delete;
    FaultInjector& operator=(const FaultInjector&) = delete;

    // The read (write) with this 0-based index and all after it fail with EIO.
    int failReadFrom = -1;
    int failWriteFrom = -1;
    bool failFlush = false;

    int BeforeRead(platform::FileHandle, size_t) override { return Fails(m_reads++, failReadFrom); }
    int BeforeWrite(platform::FileHandle, size_t) override { return Fails(m_writes++, failWriteFrom); }
    int BeforeFlush(platform::FileHandle) override { return failFlush ? EIO : 0; }
    int Reads() const { return m_reads; }
    int Writes() const { return m_writes; }

private:
    static int Fails(int index, int from) { return from >= 0 && index >= from ? EIO : 0; }
    int m_reads = 0;
    int m_writes = 0;
};

}  // namespace testing_support
