#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/lockable.h"
#include "textrion/csv/csv_value_formatter.h"
#include "varnex/codepage/detection_method.h"
#include "varnex/varnex_export.h"

class CCodepageDetector;
class CFileSample;
struct UnicodeForm;

// Decides for one file, from the cheapest test to the dearest: binary by
// extension, byte order mark, BOM-less UTF-16 and UTF-32 text in any script
// (JudgeUnicodeStructure), runs of zero bytes, valid UTF-8, statistical
// detection, then (when the statistics find nothing) a second zero-byte test
// and, for known text extensions, the looser BOM-less UTF-16LE test. Detect
// does the work; the findings stay until the next Detect. The file is opened
// once: every test reads from one sample of it, and each byte is read at most once.
//
// A file that cannot be opened or read ends as DETECTIONRESULT_ERROR with
// code page -1: it is never passed off as a binary file. A file that is not
// empty, passes the text test and whose code page nothing found ends as
// DETECTIONRESULT_UNKNOWN_TEXT with kUnknownTextCodepage: text, not binary.
class VARNEX_API CAdvancedDetector {
public:
    enum DETECTIONRESULT {
        DETECTIONRESULT_OK = 0,
        DETECTIONRESULT_UNSURE = 1,
        DETECTIONRESULT_ERROR = 2,
        DETECTIONRESULT_UNKNOWN_TEXT = 3,  // text whose code page no test found
    };
    // The code page of unknown text: in no catalogue, so it never reads as "Binary".
    static constexpr int kUnknownTextCodepage = -2;

    // The text test: false when the bytes hold more control characters than
    // text has (more than one in a hundred of those no text uses).
    [[nodiscard]] static bool LooksLikeText(const unsigned char* bytes, uint64_t size);

    // The "Binary.bin" and "Text.bin" lists of the program's data folder
    // (beside the program, or share/varnelpro when installed): one lower-case
    // extension with its leading dot per line. Each is read once, on its first
    // lookup; a missing file is an empty list.
    class VARNEX_API CKnownExtList {
    public:
        CKnownExtList();
        ~CKnownExtList();
        CKnownExtList(const CKnownExtList&) = delete;
        CKnownExtList& operator=(const CKnownExtList&) = delete;

        // extension: from the last dot on, dot included, lower-cased by the caller.
        [[nodiscard]] bool ExtInBinaryList(const char16_t* extension);
        [[nodiscard]] bool ExtInTextList(const char16_t* extension);

        // Reads the lists from another folder from now on (tests, other installs).
        void SetFolder(const std::u16string& folder);
        // The file a list is read from ("Binary.bin" or "Text.bin"), for reports.
        std::u16string GetListPath(bool binary) const;

    private:
        [[nodiscard]] bool InList(const char16_t* extension, CTextLineList& list, bool& loaded,
                                  const char16_t* fileName);

        mutable CCriticalSection m_lock;
        std::u16string m_folder;  // empty: the program's folder
        bool m_binaryLoaded = false;
        bool m_textLoaded = false;
        CTextLineList m_binaryList;
        CTextLineList m_textList;
    };

    static CKnownExtList& GetKnownExtList();

    // What a worker keeps from one file's detection to the next: the sample
    // buffer and the statistical detector, which is costly to build. Serves
    // one detection at a time.
    class VARNEX_API CWorkspace {
    public:
        CWorkspace();
        ~CWorkspace();
        CWorkspace(const CWorkspace&) = delete;
        CWorkspace& operator=(const CWorkspace&) = delete;

        CFileSample& Sample() { return *m_sample; }
        // Built on first use, and again only when the settings differ.
        CCodepageDetector& Statistics(unsigned blockSize, unsigned scanLimitMB, bool reportGB18030);

    private:
        std::unique_ptr<CFileSample> m_sample;
        std::unique_ptr<CCodepageDetector> m_statistics;
        unsigned m_blockSize = 0;
        unsigned m_scanLimitMB = 0;
        bool m_reportGB18030 = false;
    };

    // How detections run: the job setting's detection fields.
    struct Options {
        unsigned blockSize = 2048;       // bytes read at a time; the zero-byte test's block
        unsigned scanLimitMB = 4;        // the sample: no test reads past it
        bool binaryListShortcut = true;  // an extension of Binary.bin is binary, unread
        bool reportGB18030 = false;      // a GB18030 finding stays 54936, else it is 936
        // Asked between blocks of the sample (a session's stop or pause): when
        // it says stop, detection ends with an error and WasStopped() is true.
        std::function<bool()> canContinue = nullptr;
        // Kept from file to file, as the statistical detector is costly to
        // build; used only while Detect runs. Null: one per detection.
        CWorkspace* workspace = nullptr;
    };

    // What one detection found; each Detect starts from {}.
    struct Findings {
        int codepage = -1;
        float confidence = 0.0f;
        bool hasBom = false;
        DETECTIONRESULT result = DETECTIONRESULT_OK;
        DetectionMethod method = DetectionMethod::None;  // NONE: the file could not be read
        bool stopped = false;                            // canContinue said stop
        bool c1Controls = false;                         // see HasC1Controls
        bool doubleEncoded = false;                      // see IsDoubleEncoded
        bool weakEvidence = false;                       // see kLeastNonAsciiBytes

        bool operator==(const Findings&) const = default;
    };

    virtual ~CAdvancedDetector();
    explicit CAdvancedDetector(Options options);
    CAdvancedDetector(const CAdvancedDetector&) = default;
    CAdvancedDetector& operator=(const CAdvancedDetector&) = default;

    // Decides for the file at path.
    const Findings& Detect(const std::u16string& path);
    // Decides for the start of a stream (standard input) as for a file of that
    // name: head holds its first bytes, whole says whether they are all of it.
    // A head as long as the scan limit plus kHeadMargin is all any test reads.
    const Findings& DetectStream(const std::u16string& name, const std::vector<unsigned char>& head, bool whole);
    static constexpr unsigned kHeadMargin = 256 * 1024;

    // Detects at once, a stream when head is given, else a file: for the
    // per-file job until it names its options.
    CAdvancedDetector(const std::u16string& name, const std::vector<unsigned char>* head, bool whole,
                      CWorkspace* workspace, unsigned blockSize, unsigned scanLimitMB, bool binaryListShortcut,
                      bool reportGB18030, std::function<bool()> canContinue);

    const Findings& GetFindings() const { return m_found; }
    int GetCodepage() const { return m_found.codepage; }
    float GetConfidence() const { return m_found.confidence; }
    [[nodiscard]] bool HasBom() const { return m_found.hasBom; }
    DETECTIONRESULT GetResult() const { return m_found.result; }
    // The test that settled the finding (NONE when the file could not be read).
    DetectionMethod GetMethod() const { return m_found.method; }
    [[nodiscard]] bool WasStopped() const { return m_found.stopped; }
    // The code page found would still decode some bytes to C1 controls: the
    // engine warns, as such text is most likely in another code page.
    [[nodiscard]] bool HasC1Controls() const { return m_found.c1Controls; }
    // UTF-8 whose text is UTF-8 read once more as windows-1252 ("Ã©" for "é").
    [[nodiscard]] bool IsDoubleEncoded() const { return m_found.doubleEncoded; }

    // The confidence from which a finding stands, and from which it stands
    // for an extension in the text list. Measured on the detection corpus:
    // below 0.6 right legacy findings are rare and wrong ones common.
    static constexpr float kSureConfidence = 0.7f;
    static constexpr float kTextListConfidence = 0.6f;
    // A legacy finding is unsure, whatever its confidence, from fewer non-ASCII
    // bytes (one or two accented letters say nothing of the code page) or with
    // more words capitalised inside by a letter outside ASCII than
    // CCodepageDetector::kMostMixedCaseWords (the script's letters read from
    // the wrong places).
    static constexpr uint64_t kLeastNonAsciiBytes = 4;
    // The same from a single byte value 80..FF, or with more than one in ten
    // of the characters inside words punctuation or symbols (a page that puts
    // its punctuation where the text's page has letters), three at least.
    static constexpr uint64_t kLeastSymbolsInWords = 3;
    static constexpr double kMostSymbolsInWords = 0.1;
    // A sample that is valid UTF-8 with a multi-byte character, or that has
    // the strict structure of UTF-16 or UTF-32 text: legacy text or a binary
    // is that by chance too rarely to doubt it.
    static constexpr float kStructureConfidence = 0.99f;

protected:
    // The statistical step, for subclasses that replace it: false when the
    // file could not be read.
    [[nodiscard]] virtual bool DetectStatistically(int& codepage, float& confidence);

private:
    // Runs the steps with a workspace, turning what they throw into an error.
    void Run();
    void RunSteps();
    // Each step: true when it settled the finding (or failed, with the result ERROR).
    [[nodiscard]] bool ByBom(CFileSample& sample);
    [[nodiscard]] bool ByStructure();
    [[nodiscard]] bool ByZeroRuns(unsigned threshold);
    [[nodiscard]] bool ByUtf8(CFileSample& sample);
    [[nodiscard]] bool ByStatistics(CFileSample& sample, CKnownExtList& lists, const std::u16string& extension);
    // The looser BOM-less UTF-16 test for an extension of the text list.
    void ByTextList(CFileSample& sample);
    // Nothing found the code page: binary unless the file is text.
    void JudgeUnfound(CFileSample& sample);
    // The zero-byte test; false when the file could not be read.
    [[nodiscard]] bool ZeroRuns(unsigned threshold, bool& binary);
    // The Unicode form the sample has by structure alone, nullptr for none;
    // false when the file could not be read.
    [[nodiscard]] bool UnicodeStructure(const UnicodeForm*& form);
    // Whether the whole sample is UTF-8 holding a multi-byte character; false
    // when the file could not be read.
    [[nodiscard]] bool MultiByteUtf8(bool& utf8);
    uint64_t ScanLimit() const { return static_cast<uint64_t>(m_options.scanLimitMB) * 1048576u; }

    Options m_options;
    Findings m_found;
    std::u16string m_path;                               // the file, or the stream's name, while detecting
    CWorkspace* m_workspace = nullptr;                   // the one in use while detecting
    const std::vector<unsigned char>* m_head = nullptr;  // a stream's first bytes, while detecting
    bool m_headWhole = false;
};
