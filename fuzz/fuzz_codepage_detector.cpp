// Statistical code page detection on a file, then the advanced detector's
// whole chain on it: small and odd block sizes, both GB18030 choices, the
// binary list shortcut and extensions from both lists.
//
// Input: byte 0 picks the block size, the GB18030 choice, the extension and
// the shortcut; the rest is the file.
#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "textrion/encoding/bom_detector.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_detector.h"
#include "varnex/codepage/codepage_info.h"

namespace {

constexpr unsigned kBlockSizes[] = {1, 2, 3, 7, 64, 511, 4096, 65536};
constexpr const char* kNames[] = {"sample.txt", "sample.exe", "sample.csv", "sample"};

bool InCatalogue(int codepage)
{
    return CCodepageInfo::GetCodepageInfo(codepage) != nullptr;
}

bool HasGb18030FourByte(std::string_view bytes)
{
    const auto in = [](unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; };
    for (size_t i = 0; i + 3 < bytes.size(); ++i) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + i);
        if (in(b[0], 0x81, 0xFE) && in(b[1], 0x30, 0x39) && in(b[2], 0x81, 0xFE) && in(b[3], 0x30, 0x39))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool listsSet = [] {
        CAdvancedDetector::GetKnownExtList().SetFolder(u"" VARNEL_DATA_DIR);
        return true;
    }();
    (void)listsSet;

    fuzz::Input in(data, size);
    const uint8_t choice = in.Byte();
    const unsigned blockSize = kBlockSizes[choice & 7];
    const bool reportGB18030 = choice & 8;
    const char* name = kNames[(choice >> 4) & 3];
    const bool shortcut = choice & 64;
    const std::string_view file = in.Rest();
    const std::u16string path = fuzz::WriteTempFile(name, file);

    CCodepageDetector detector(path.c_str(), blockSize, 1, reportGB18030);
    const bool certain = detector.Detect();
    FUZZ_CHECK(!detector.HasFailed());
    FUZZ_CHECK(detector.GetBytesFed() <= file.size());
    FUZZ_CHECK(certain || detector.GetBytesFed() == file.size());
    if (detector.GetCodepage() == -1) {
        FUZZ_CHECK(detector.GetConfidence() == 0.0f);
    } else {
        FUZZ_CHECK(InCatalogue(detector.GetCodepage()));
        FUZZ_CHECK(detector.GetConfidence() > 0.2f && detector.GetConfidence() <= 1.0f);
        // GB18030 is named for pure GBK text only when asked; four-byte
        // sequences always need it.
        FUZZ_CHECK(reportGB18030 || detector.GetCodepage() != 54936 || HasGb18030FourByte(file));
    }

    // A second run over the same file starts afresh.
    const int codepage = detector.GetCodepage();
    const float confidence = detector.GetConfidence();
    FUZZ_CHECK(detector.Detect() == certain);
    FUZZ_CHECK(detector.GetCodepage() == codepage && detector.GetConfidence() == confidence);

    CAdvancedDetector advanced(
        {.blockSize = blockSize, .scanLimitMB = 1, .binaryListShortcut = shortcut, .reportGB18030 = reportGB18030});
    advanced.Detect(path);
    FUZZ_CHECK(advanced.GetResult() != CAdvancedDetector::DETECTIONRESULT_ERROR);
    const bool marked = CBomDetector::Judge(reinterpret_cast<const unsigned char*>(file.data()),
                                            static_cast<unsigned>(std::min<size_t>(file.size(), 4))) != BOM_NONE;
    FUZZ_CHECK(advanced.HasBom() == (marked && !(shortcut && name == kNames[1])));
    FUZZ_CHECK(advanced.GetCodepage() == -1 || advanced.GetCodepage() == CAdvancedDetector::kUnknownTextCodepage ||
               InCatalogue(advanced.GetCodepage()));
    FUZZ_CHECK(!advanced.HasBom() || advanced.GetConfidence() == 1.0f);
    return 0;
}
