// The engine's session over a folder tree, for scripts/bench-session.sh:
//
//   bench_session ROOT OUT THREADS [detect]
//
// converts ROOT (recursive, hidden files included) into OUT with THREADS
// converter threads, or only detects each file with "detect", and prints one line of key=value pairs: records, seconds,
// files_per_s, rss_before_kb, rss_after_kb (records still held), vmhwm_kb.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/text.h"
#include "platform/native_path.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/session/session_end_signal.h"
#include "varnex/session/varnex.h"

namespace {

// The signal comes first: it outlives the session's threads, which post to it.
struct EndSignal {
    CSessionEndSignal m_end;
};

class BenchSession : private EndSignal, public CVarnex {
public:
    BenchSession() : CVarnex(&m_end, nullptr) { }
    void WaitForEnd() { m_end.WaitForStops(1, std::chrono::hours(24)); }
};

long StatusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + std::string(key).size(), nullptr, 10);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool detectOnly = argc == 5 && std::string(argv[4]) == "detect";
    if (argc != 4 && !detectOnly) {
        fprintf(stderr, "usage: bench_session ROOT OUT THREADS [detect]\n");
        return 2;
    }
    CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR));
    tagVARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.recursive = true;
    item.options.processHiddenFiles = true;
    item.inputPath = platform::FromNativePath(argv[1]);
    item.outputPath = platform::FromNativePath(argv[2]);
    VARNEXJOBSETTING setting = GetDefaultJobSetting();
    setting.detectOnly = detectOnly;
    setting.converterThreads = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));

    const long rssBefore = StatusKb("VmRSS:");
    BenchSession session;
    session.PrepareJob(item);
    const auto start = std::chrono::steady_clock::now();
    if (!session.Start(setting)) {
        fprintf(stderr, "bench_session: the session did not start\n");
        return 1;
    }
    session.WaitForEnd();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    printf("records=%u processed=%u errors=%u seconds=%.3f files_per_s=%.1f rss_before_kb=%ld rss_after_kb=%ld "
           "vmhwm_kb=%ld\n",
           summary.totalFiles, summary.processedFiles, summary.errorFiles, seconds,
           seconds > 0 ? summary.processedFiles / seconds : 0.0, rssBefore, StatusKb("VmRSS:"), StatusKb("VmHWM:"));
    return summary.processedFiles == summary.totalFiles ? 0 : 1;
}
