#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "textrion/textrion_export.h"

class CFileSample;

// Decides whether a file is binary from runs of zero bytes: a run counts when
// it reaches the threshold and at least one byte of the same block follows it;
// runs do not continue across blocks.
class TEXTRION_API CBinFileDetector {
public:
    virtual ~CBinFileDetector();

    // Scans at most maxMegabytes MB in blocks of blockSize bytes; does not read yet.
    CBinFileDetector(const char16_t* path, unsigned threshold, unsigned blockSize, unsigned maxMegabytes);
    CBinFileDetector(const CBinFileDetector&) = delete;
    CBinFileDetector& operator=(const CBinFileDetector&) = delete;

    void SetThreshold(unsigned threshold) { m_threshold = threshold; }
    [[nodiscard]] bool IsBinary() const { return m_result; }

    // A file that cannot be opened is not binary; HasReadError tells it apart.
    [[nodiscard]] virtual bool Detect();
    // The same scan over a sample of the file opened by the caller, which
    // reads only the blocks not read before.
    [[nodiscard]] bool Detect(CFileSample& sample);
    // True when the file could not be opened or a read failed during the scan.
    [[nodiscard]] bool HasReadError() const { return m_readError; }
    // Asked every 64 KiB of the scan: false (a stopped session) ends it at
    // once, not binary, and WasStopped() tells.
    void SetContinueCheck(std::function<bool()> check) { m_canContinue = std::move(check); }
    [[nodiscard]] bool WasStopped() const { return m_stopped; }

protected:
    [[nodiscard]] virtual bool DetectBinary(const char* block, unsigned length);

    std::u16string m_path;
    unsigned m_blockSize;
    unsigned m_maxMegabytes;
    unsigned m_threshold;
    bool m_result = false;
    bool m_readError = false;
    bool m_stopped = false;
    std::function<bool()> m_canContinue;
};
