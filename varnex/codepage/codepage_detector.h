#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "varnex/codepage/finding_evidence.h"
#include "varnex/codepage/superset_scan.h"
#include "varnex/varnex_export.h"

class CFileSample;

// Statistical code page detection: feeds the start of a file (at most the
// scan limit, in blocks) to the universal character set detector and maps its
// finding to a code page with a confidence.
//
// What it reports:
//  - nothing (-1) when no prober group is more confident than 0.20;
//  - nothing for data riddled with zero bytes (every block fed held more than
//    two, or one byte in eight is zero): UTF-16 or UTF-32 text without BOM,
//    which looks 7-bit, or Latin-1, byte by byte;
//  - code page 0 with 0.99 for 7-bit data (bytes below 0x80, or 0xA0);
//  - 0.99 for an escape-sequence encoding or a prober that was certain
//    (ISO-2022-CN is recognised here by its designators: the detector's own
//    state machine for it never matches);
//  - otherwise the best prober group (multi-byte, single-byte, Latin-1; a later
//    group wins only when strictly more confident) with its confidence; an
//    uncertain UTF-8 finding stands only for valid UTF-8 (the detector's
//    UTF-8 prober keeps its confidence past an invalid sequence), else the
//    better of the other two groups does.
// Every charset the detector can name maps to a catalogue code page; a
// UTF-16 or UTF-32 finding (named after a byte order mark) takes its byte
// order from the mark. Never reads more than the scan limit.
//
// Building one is costly (the detector's probers and models): a worker keeps
// one and runs it on file after file; each run starts afresh.
class VARNEX_API CCodepageDetector {
public:
    virtual ~CCodepageDetector();

    // Does not open the file yet.
    CCodepageDetector(const char16_t* path, unsigned blockSize, unsigned scanLimitMB, bool reportGB18030);
    // For samples only (Detect(CFileSample&)).
    CCodepageDetector(unsigned blockSize, unsigned scanLimitMB, bool reportGB18030);
    CCodepageDetector(const CCodepageDetector&) = delete;
    CCodepageDetector& operator=(const CCodepageDetector&) = delete;

    // Runs the detection; true when the detector was certain before the end of
    // the data (GetConfidence says it too). Each run starts from no findings.
    virtual bool Detect();
    // The same over a sample of the file opened by the caller, which reads
    // only the blocks not read before; HasFailed when a read of them failed.
    bool Detect(CFileSample& sample);

    int GetCodepage() const { return m_found.codepage; }
    float GetConfidence() const { return m_found.confidence; }
    // Bytes handed to the detector by the last Detect.
    uint64_t GetBytesFed() const { return m_found.bytesFed; }
    // True when the last Detect could not open or read the file.
    [[nodiscard]] bool HasFailed() const { return m_found.failed; }
    // Asked every 64 KiB fed: false (a stopped session) ends the detection
    // at once with no finding, and WasStopped() tells.
    void SetContinueCheck(std::function<bool()> check) { m_canContinue = std::move(check); }
    [[nodiscard]] bool WasStopped() const { return m_found.stopped; }
    // The finding's text would hold C1 controls (bytes 80..9F that its code
    // page leaves as controls): most likely the wrong single-byte code page.
    [[nodiscard]] bool HasC1Controls() const { return m_found.c1Controls; }
    // Bytes 80..FF among those fed: what a legacy code page finding rests on.
    uint64_t GetNonAsciiBytes() const { return m_found.nonAscii; }
    // Words of the finding's text with a capital after a small letter, one of
    // them outside ASCII, as a share of the words with such letters
    // (finding_evidence.h).
    double GetMixedCaseShare() const { return m_found.mixedCase; }
    // Characters outside ASCII between two letters that are no letters in the
    // finding's text, as a share of all characters there, and their number
    // (finding_evidence.h).
    double GetSymbolInWordShare() const { return m_found.symbolShare; }
    uint64_t GetSymbolsInWords() const { return m_found.symbolsInWords; }
    // Different bytes 80..FF at the start of the data.
    unsigned GetDistinctNonAsciiBytes() const { return m_found.distinctNonAscii; }

    // The code page of a charset name the detector reports (-1 when unknown);
    // a GB18030 finding is 936 unless reportGB18030.
    static int CodepageOfCharset(const char* charset, bool reportGB18030);

    // A finding below this confidence is tried against the readings of the
    // pages the statistics have no model for (Mac, DOS Western).
    static constexpr float kUnmodelledReadingBelow = 0.89f;
    // Words with a capital after a small letter beyond this share are a
    // misplaced script.
    static constexpr double kMostMixedCaseWords = 0.02;

private:
    class UniversalDetector;

    // The measures of the finding's text below (the Get...Share getters).
    void MeasureText(std::string_view bytes);
    void ReadInUnmodelledPage(std::string_view bytes);
    // The byte table of a code page with one character per byte, null for
    // another; made once per detector.
    const finding_evidence::ByteKinds* KindsOf(int codepage);

    std::u16string m_path;
    unsigned m_blockSize;
    unsigned m_scanLimitMB;
    bool m_reportGB18030;
    // What the last Detect found and measured (the getters above).
    struct Findings {
        int codepage = -1;
        float confidence = 0.0f;
        uint64_t bytesFed = 0;
        bool failed = false;
        bool stopped = false;
        bool c1Controls = false;
        uint64_t nonAscii = 0;
        double mixedCase = 0.0;
        double symbolShare = 0.0;
        uint64_t symbolsInWords = 0;
        unsigned distinctNonAscii = 0;
    };
    Findings m_found;
    CSupersetScan m_scan;
    std::function<bool()> m_canContinue;
    std::unique_ptr<UniversalDetector> m_detector;
    std::vector<std::pair<int, std::unique_ptr<finding_evidence::ByteKinds>>> m_byteKinds;
};
