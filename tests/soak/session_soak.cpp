// Session soak: one large mixed tree, then random sessions until the time is
// up (full conversions, detections, pauses, stops, retries, filters, thread
// counts, a session destroyed mid-run), each followed by invariant checks.
// Run by scripts/soak.sh under ThreadSanitizer; never by CTest.
//
//   varnex_soak [--minutes M] [--seed S] [--files N] [--dir FOLDER] [--watchdog SECONDS]
#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/native_path.h"
#include "tools/corpus/mixed_tree.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/export/csv_exporter.h"
#include "varnex/session/filterable_varnex.h"
#include "varnex/session/name_filter.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// ---------------------------------------------------------------------------
// Failures, the watchdog and small file helpers

int g_failures = 0;

void Fail(const std::string& what)
{
    if (++g_failures <= 30)
        std::fprintf(stderr, "INVARIANT FAILED: %s\n", what.c_str());
}

// One operation at a time is timed; one past the limit is a deadlock and
// ends the run, since it cannot be unwound.
class OperationWatch {
public:
    explicit OperationWatch(std::chrono::seconds limit) : m_limit(limit), m_thread([this] { Watch(); }) { }
    ~OperationWatch()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void Begin(std::string what)
    {
        std::lock_guard lock(m_mutex);
        m_what = std::move(what);
        m_since = Clock::now();
        m_active = true;
    }
    void End()
    {
        std::lock_guard lock(m_mutex);
        m_active = false;
    }

private:
    void Watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_done) {
            m_changed.wait_for(lock, 1s);
            if (m_active && Clock::now() - m_since > m_limit) {
                std::fprintf(stderr, "DEADLOCK: \"%s\" did not end within %lld s\n", m_what.c_str(),
                             static_cast<long long>(m_limit.count()));
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    }
    std::chrono::seconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_what;
    Clock::time_point m_since;
    bool m_active = false, m_done = false;
    std::thread m_thread;
};

OperationWatch* g_watch = nullptr;

// Runs op under the watchdog.
template <typename Op> auto Timed(const std::string& what, Op op)
{
    g_watch->Begin(what);
    struct Ender {
        ~Ender() { g_watch->End(); }
    } ender;
    return op();
}

std::string ReadFile(const std::string& path, bool* ok = nullptr)
{
    std::ifstream in(path, std::ios::binary);
    if (ok)
        *ok = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint64_t Fnv(const std::string& bytes)
{
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

// Regular files below root, by path relative to it.
std::vector<std::string> ListFiles(const std::string& root)
{
    static std::vector<std::string>* out;
    static size_t skip;
    std::vector<std::string> files;
    out = &files;
    skip = root.size() + 1;
    nftw(
        root.c_str(),
        [](const char* path, const struct stat*, int type, FTW*) {
            if (type == FTW_F)
                out->push_back(std::string(path).substr(skip));
            return 0;
        },
        32, FTW_PHYS);
    return files;
}

void RemoveTree(const std::string& root)
{
    nftw(
        root.c_str(), [](const char* path, const struct stat*, int, FTW*) { return ::remove(path), 0; }, 32,
        FTW_DEPTH | FTW_PHYS);
}

size_t ThreadCount()
{
    size_t n = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            n += entry->d_name[0] != '.';
        closedir(dir);
    }
    return n;
}

// ---------------------------------------------------------------------------
// Output decoding

// Decodes a whole output in the given form into text; false when it is not
// well-formed or its byte order mark is not as asked.
bool DecodeOutput(const std::string& bytes, CTextFileConverter::OUTPUTTEXTFORMAT format, bool bom, std::u16string& text)
{
    using F = CTextFileConverter;
    static const std::map<F::OUTPUTTEXTFORMAT, std::string> kBoms = {
        {F::OUTPUTTEXTFORMAT_UTF8, "\xEF\xBB\xBF"},
        {F::OUTPUTTEXTFORMAT_UTF16LE, "\xFF\xFE"},
        {F::OUTPUTTEXTFORMAT_UTF16BE, "\xFE\xFF"},
        {F::OUTPUTTEXTFORMAT_UTF32LE, std::string("\xFF\xFE\0\0", 4)},
        {F::OUTPUTTEXTFORMAT_UTF32BE, std::string("\0\0\xFE\xFF", 4)}};
    const std::string& mark = kBoms.at(format);
    const bool hasBom = bytes.compare(0, mark.size(), mark) == 0;
    if (hasBom != bom)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + (hasBom ? mark.size() : 0);
    const size_t n = bytes.size() - (hasBom ? mark.size() : 0);
    text.clear();
    switch (format) {
    case F::OUTPUTTEXTFORMAT_UTF8:
        for (size_t i = 0; i < n;) {
            char32_t cp;
            const int len = text::Utf8SequenceAt(p + i, n - i, cp);
            if (len <= 0)
                return false;
            text::AppendUtf16(text, cp);
            i += static_cast<size_t>(len);
        }
        return true;
    case F::OUTPUTTEXTFORMAT_UTF16LE:
    case F::OUTPUTTEXTFORMAT_UTF16BE: {
        if (n % 2)
            return false;
        // Unpaired surrogates of a UTF-16 input pass into UTF-16 output as they are.
        const bool le = format == F::OUTPUTTEXTFORMAT_UTF16LE;
        for (size_t i = 0; i < n; i += 2)
            text += static_cast<char16_t>(le ? p[i] | p[i + 1] << 8 : p[i] << 8 | p[i + 1]);
        return true;
    }
    default: {
        if (n % 4)
            return false;
        const bool le = format == F::OUTPUTTEXTFORMAT_UTF32LE;
        for (size_t i = 0; i < n; i += 4) {
            const char32_t cp = le ? p[i] | p[i + 1] << 8 | p[i + 2] << 16 | char32_t(p[i + 3]) << 24
                                   : char32_t(p[i]) << 24 | p[i + 1] << 16 | p[i + 2] << 8 | p[i + 3];
            if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            text::AppendUtf16(text, cp);
        }
        return true;
    }
    }
}

// ---------------------------------------------------------------------------
// The session, its handler and a record filter

// Checks the message order as they come: STARTED (PAUSED CONTINUED)* [PAUSED] STOPPED.
class Recorder : public HandlerTarget {
public:
    void Post(unsigned, uintptr_t wParam, intptr_t lParam) override
    {
        const auto m = static_cast<VARNEXMESSAGE>(wParam);
        if (m == VARNEXMESSAGE_LISTCHANGED)
            return;
        std::lock_guard lock(m_mutex);
        struct Step {
            VARNEXMESSAGE message;
            bool (*allowed)(int state);
            int next;
            const char* error;
        };
        static const Step kSteps[] = {
            {VARNEXMESSAGE_STARTED, [](int s) { return s == IDLE; }, RUNNING, "STARTED while a session runs"},
            {VARNEXMESSAGE_PAUSED, [](int s) { return s == RUNNING; }, PAUSED, "PAUSED outside a running session"},
            {VARNEXMESSAGE_CONTINUED, [](int s) { return s == PAUSED; }, RUNNING, "CONTINUED without PAUSED"},
            {VARNEXMESSAGE_STOPPED, [](int s) { return s != IDLE; }, IDLE, "STOPPED twice"}};
        for (const Step& step : kSteps)
            if (step.message == m) {
                if (!step.allowed(m_state))
                    m_orderErrors.push_back(step.error);
                m_state = step.next;
            }
        if (m == VARNEXMESSAGE_STOPPED) {
            ++m_stops;
            m_reason = lParam;
        }
        m_changed.notify_all();
    }
    bool WaitForStops(size_t count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stops >= count; });
        return true;
    }
    size_t Stops()
    {
        std::lock_guard lock(m_mutex);
        return m_stops;
    }
    intptr_t LastReason()
    {
        std::lock_guard lock(m_mutex);
        return m_reason;
    }
    std::vector<std::string> TakeOrderErrors()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_orderErrors, {});
    }

private:
    enum { IDLE, RUNNING, PAUSED };
    int m_state = IDLE;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_stops = 0;
    intptr_t m_reason = 0;
    std::vector<std::string> m_orderErrors;
};

// A handler that must hear nothing once unregistered.
struct Probe : HandlerTarget {
    void Post(unsigned, uintptr_t, intptr_t) override { late += gone.load(); }
    std::atomic<bool> gone{false};
    static inline std::atomic<int> late{0};
};

struct PassCounter : SessionObserver {
    std::atomic<unsigned> passes{0};  // processings finished (a retried record counts again)

    void OnFileProcessed(CVarnexFileInfo*) override { ++passes; }
};

// The counter comes first: it outlives the session's threads.
class SoakSession : public PassCounter, public CFilterableVarnex {
public:
    explicit SoakSession(HandlerTarget* handler) : CFilterableVarnex(handler, nullptr, static_cast<PassCounter*>(this))
    {
    }
};

class RecordFilter : public CFileInfoFilter {
public:
    CFileInfoFilter* Clone() const override
    {
        auto* clone = new RecordFilter;
        clone->CopyProperties(this);
        return clone;
    }
    bool PassCustomFilter(CVarnexFileInfo*) const override { return true; }
    void CopyCustomProperties(const CFileInfoFilter*) override { }
    bool HasCustomFilters() const override { return false; }
};

RecordFilter RandomRecordFilter(std::mt19937& random)
{
    RecordFilter filter;
    switch (random() % 4) {
    case 0:
        filter.EnableFileNameFilter(true);
        filter.SetFileNameFilters(random() % 2 ? u"*.txt" : u"*-1252-*;*utf16*");
        break;
    case 1:
        filter.EnableCodepageFilter(true);
        for (int codepage : {0, 1252, 65001, 1200, -1})
            if (random() % 2)
                filter.AddCodepageFilter(static_cast<unsigned>(codepage));
        break;
    case 2:
        filter.EnableStatusFilter(true);
        filter.SetStatusFilter(random() % 2 ? FileInfoStatusNormal : FileInfoStatusError);
        break;
    default:
        filter.EnableBomFilter(true);
        filter.SetBomFilter(FilterInfoBomWith);
    }
    return filter;
}

// ---------------------------------------------------------------------------
// The soak

enum Kind { FULL, DETECT, PAUSE, STOP, RETRY, FILTER, DESTROY, KINDS };
const char* const kKindNames[KINDS] = {"full", "detect", "pause", "stop", "retry", "filter", "destroy"};

struct Plan {
    tagVARNEXBATCHJOBITEM item;
    VARNEXJOBSETTING setting;
    std::string subfolder;  // "" for the whole tree
    std::string report;     // a CSV report of the session, when not empty
};

class Soak {
public:
    Soak(std::string base, uint32_t seed, unsigned files) : m_base(std::move(base)), m_random(seed)
    {
        m_in = m_base + "/in";
        ::mkdir(m_base.c_str(), 0755);
        ::mkdir(m_in.c_str(), 0755);
        corpus::TreeOptions options;
        options.files = files;
        options.seed = seed;
        for (corpus::TreeFile& file : corpus::MakeMixedTree(m_in, options))
            m_tree.emplace(file.relative, std::move(file));
        for (const std::string& relative : ListFiles(m_in))
            m_checksums[relative] = Fnv(ReadFile(m_in + "/" + relative));
        m_session = std::make_unique<SoakSession>(&m_handler);
        m_session->AllowFiltering(true);
    }
    ~Soak()
    {
        m_session.reset();
        if (g_failures == 0)
            RemoveTree(m_base);
        else
            std::fprintf(stderr, "The tree and outputs are kept in %s\n", m_base.c_str());
    }

    void RunOne();
    void PrintSummary(double minutes) const;

private:
    Plan MakePlan(Kind kind);
    void StartSession(const Plan& plan, bool resume);
    void WaitForEnd(const std::string& what);
    void Check(const std::string& label, bool stoppedChain);
    void CheckOutputs(const std::string& label, const std::vector<CVarnexFileInfo*>& records);
    void CheckInput(const std::string& label);
    void PausesDuring(int count, unsigned maxDelayMs);
    void FilterChurn(std::atomic<bool>& done);
    void RetryAsFinished(std::atomic<bool>& done, uint32_t seed);
    size_t ExpectedFiles(const Plan& plan) const;
    std::u16string In16(const std::string& relative) const { return platform::FromNativePath(m_in + relative); }
    unsigned Rand(unsigned n) { return static_cast<unsigned>(m_random() % n); }
    std::vector<CVarnexFileInfo*> Records(VARNEXFILESTATUS status) const
    {
        CSingleLock lock(m_session->GetFileList().GetCriticalSection());
        std::vector<CVarnexFileInfo*> records;
        for (CVarnexFileInfo* r : m_session->GetFileList())
            if (r->GetStatus() == status)
                records.push_back(r);
        return records;
    }
    size_t Finished() const { return Records(VARNEXFILESTATUS_FINISHED).size(); }

    std::string m_base, m_in;
    std::mt19937 m_random;
    std::map<std::string, corpus::TreeFile> m_tree;
    std::map<std::string, uint64_t> m_checksums;
    Recorder m_handler;
    std::unique_ptr<SoakSession> m_session;
    size_t m_stops = 0;           // STOPPED messages seen so far
    bool m_chainStopped = false;  // a session since the last fresh start was stopped
    bool m_chainCanRetry = false;
    Plan m_last;
    std::unique_ptr<RecordFilter> m_applied;  // the record filter applied last, when known
    std::vector<std::string> m_outputs;       // output folders of the current chain
    unsigned m_outputCounter = 0;
    unsigned m_sessions[KINDS] = {};
    uint64_t m_filesProcessed = 0;
    unsigned m_pauses = 0, m_stopsAsked = 0, m_retries = 0;
    std::atomic<unsigned> m_retriesAsFinished{0};
};

Plan Soak::MakePlan(Kind kind)
{
    static const CTextFileConverter::OUTPUTTEXTFORMAT kFormats[] = {
        CTextFileConverter::OUTPUTTEXTFORMAT_UTF8,    CTextFileConverter::OUTPUTTEXTFORMAT_UTF8,
        CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE, CTextFileConverter::OUTPUTTEXTFORMAT_UTF16BE,
        CTextFileConverter::OUTPUTTEXTFORMAT_UTF32LE, CTextFileConverter::OUTPUTTEXTFORMAT_UTF32BE};
    Plan plan;
    plan.setting = GetDefaultJobSetting();
    plan.setting.detectOnly = kind == DETECT || (kind == FILTER && Rand(3) == 0);
    plan.setting.converterThreads = Rand(5);  // 0: the processor count
    plan.setting.chunkSize = std::vector<uint32_t>{1024, 2048, 8192}[Rand(3)];
    plan.setting.writeBufferSize = Rand(2) ? 2048 : 65536;
    if (Rand(2))
        plan.subfolder = "d" + std::to_string(Rand(10));
    tagVARNEXBATCHJOBITEM& item = plan.item;
    item.folder = true;
    item.options.recursive = true;
    item.options.processHiddenFiles = Rand(2);
    item.options.copyUnconverted = Rand(2);
    item.options.writeBom = Rand(2);
    item.options.outputTextFormat = kFormats[Rand(std::size(kFormats))];
    item.inputPath = In16(plan.subfolder.empty() ? "" : "/" + plan.subfolder);
    if (!plan.setting.detectOnly)
        item.outputPath = platform::FromNativePath(m_base + "/out" + std::to_string(++m_outputCounter));
    switch (Rand(kind == FILTER ? 2 : 4)) {
    case 0:
        item.options.filter = CVarnexBatchJobFilter(false, Rand(2) ? u"*.txt;*.md" : u"*-1252-*;*.png;empty-*");
        break;
    case 1:
        item.options.filter = CVarnexBatchJobFilter(true, Rand(2) ? u".*-(1251|koi8r|sjis|utf8)-.*" : u"[a-m].*\\.csv");
        break;
    default:
        break;
    }
    if (!item.options.filter.GetFilterString().empty())
        item.options.filter.EnableFilter(true);
    if (Rand(2))
        plan.report = m_base + "/report" + std::to_string(m_outputCounter) + "-" + std::to_string(Rand(1000)) + ".csv";
    return plan;
}

// The files a fresh session of the plan must find: the engine's own name
// filter decides matching, the tree says what exists and what is hidden.
size_t Soak::ExpectedFiles(const Plan& plan) const
{
    const bool filtered = plan.item.options.filter.IsEnabled();
    const CNameFilter filter(plan.item.options.filter.IsRegex(), plan.item.options.filter.GetFilterString());
    size_t n = 0;
    for (const auto& [relative, file] : m_tree) {
        if (!plan.subfolder.empty() && relative.rfind(plan.subfolder + "/", 0) != 0)
            continue;
        if (file.hidden && !plan.item.options.processHiddenFiles)
            continue;
        const std::string name = relative.substr(relative.rfind('/') + 1);
        n += !filtered || filter.Passes(platform::FromNativePath(name));
    }
    return n;
}

void Soak::StartSession(const Plan& plan, bool resume)
{
    if (!resume) {
        m_chainStopped = false;
        m_applied.reset();  // a new session drops the record filter
        for (const std::string& folder : m_outputs)
            RemoveTree(folder);
        m_outputs.clear();
        m_session->passes.store(0);
        m_session->PrepareJob(plan.item);
        // The session deletes the exporter at its end: the resumes that follow write no report.
        if (!plan.report.empty())
            m_session->SetResultExporter(new CVarnexStandardCSVExporter(platform::FromNativePath(plan.report).c_str(),
                                                                        TEXTENCODING_UTF8, false, 65536),
                                         true);
    }
    if (!plan.item.outputPath.empty() && !resume)
        m_outputs.push_back(platform::ToNativePath(plan.item.outputPath));
    m_session->SetJobSetting(plan.setting);
    if (!Timed("Start", [&] { return m_session->Start(resume); }))
        Fail(std::string("Start(") + (resume ? "true" : "false") + ") refused on an idle session");
}

// Waits for STOPPED, checking meanwhile that the counters the views show are
// never out of range (a retry undoing counts not yet added would wrap them).
void Soak::WaitForEnd(const std::string& what)
{
    Timed("waiting for the end of a " + what + " session", [&] {
        bool reported = false;
        while (m_handler.Stops() <= m_stops) {
            FILTEREDSESSIONSUMMARY s;
            m_session->GetFilteredSessionSummary(s);
            if (!reported && (s.processedFiles > s.totalFiles || s.warningFiles + s.errorFiles > s.processedFiles ||
                              s.convertedFiles + s.copiedFiles > s.processedFiles || s.progress > 100 ||
                              s.progressDetailed > 100 || s.filteredFiles > s.totalFiles)) {
                Fail(what + ": summary out of range while running: " + std::to_string(s.processedFiles) + " of " +
                     std::to_string(s.totalFiles) + ", progress " + std::to_string(s.progressDetailed));
                reported = true;
            }
            std::this_thread::sleep_for(2ms);
        }
        return 0;
    });
    ++m_stops;
    Timed("the session thread's exit", [&] {
        while (m_session->IsRunning())
            std::this_thread::sleep_for(1ms);
        return 0;
    });
}

void Soak::PausesDuring(int count, unsigned maxDelayMs)
{
    for (int i = 0; i < count && m_session->IsRunning(); ++i) {
        // Often at once: right after Start the session's threads are still starting.
        std::this_thread::sleep_for(std::chrono::milliseconds(Rand(4) == 0 ? 0 : Rand(maxDelayMs + 1)));
        Timed("Pause", [&] {
            m_session->Pause();
            return 0;
        });
        ++m_pauses;
        if (m_session->IsPaused()) {
            // Paused: no record may finish until continued.
            const size_t before = Finished();
            std::this_thread::sleep_for(std::chrono::milliseconds(5 + Rand(20)));
            const size_t after = Finished();
            if (after != before && m_session->IsRunning() && !m_session->IsStopping())
                Fail("records finished while paused: " + std::to_string(before) + " -> " + std::to_string(after));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(Rand(maxDelayMs / 4 + 1)));
        Timed("Continue", [&] {
            m_session->Continue();
            return 0;
        });
    }
}

void Soak::FilterChurn(std::atomic<bool>& done)
{
    std::mt19937 random(m_random());
    std::vector<std::unique_ptr<Probe>> probes(64);
    for (unsigned round = 0; !done.load(); ++round) {
        switch (random() % 6) {
        case 0:
        case 1: {
            const RecordFilter filter = RandomRecordFilter(random);
            m_applied.reset(m_session->ApplyFilter(filter) ? static_cast<RecordFilter*>(filter.Clone()) : nullptr);
            break;
        }
        case 2:
            m_session->ReApplyFilter();
            break;
        case 3:
            m_session->ClearFilter();
            m_applied.reset();
            break;
        case 4: {
            FILTEREDSESSIONSUMMARY summary;
            m_session->GetFilteredSessionSummary(summary);
            CLockableMap<int, unsigned> statistics;
            m_session->GetCodepageStatisticList(statistics);
            break;
        }
        default: {
            auto& probe = probes[round % probes.size()];
            probe = std::make_unique<Probe>();
            m_session->RegisterHandlerWnd(probe.get());
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 500));
            m_session->UnregisterHandlerWnd(probe.get());
            probe->gone.store(true);
        }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    }
}

// Retries records the moment a view hears they finished, as a user clicking
// on a row that just turned done.
void Soak::RetryAsFinished(std::atomic<bool>& done, uint32_t seed)
{
    std::mt19937 random(seed);
    CLockableVector<CVarnexFileInfo*> updated;
    for (int retried = 0; !done.load() && retried < 40;) {
        updated.clear();
        m_session->DispatchUpdateList(updated, nullptr, 0);
        for (CVarnexFileInfo* record : updated)
            if (random() % 3 == 0 && record->GetStatus() == VARNEXFILESTATUS_FINISHED &&
                m_session->RetryFile(record, true)) {
                ++retried;
                ++m_retriesAsFinished;
            }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 1000));
    }
}

void Soak::RunOne()
{
    Kind kind = static_cast<Kind>(Rand(KINDS));
    if (kind == RETRY && !m_chainCanRetry)
        kind = FULL;
    ++m_sessions[kind];
    const std::string label = std::string(kKindNames[kind]) + " session #" + std::to_string(m_stops + 1);

    if (kind == DESTROY) {
        // A second engine, destroyed while it runs: every thread joined, no partial output.
        const size_t threads = ThreadCount();
        const Plan plan = MakePlan(FULL);
        Recorder handler;
        {
            SoakSession doomed(&handler);
            doomed.AllowFiltering(true);
            doomed.ApplyFilter(RandomRecordFilter(m_random));
            doomed.PrepareJob(plan.item);
            doomed.SetJobSetting(plan.setting);
            if (!plan.report.empty())
                doomed.SetResultExporter(new CVarnexStandardCSVExporter(platform::FromNativePath(plan.report).c_str(),
                                                                        TEXTENCODING_UTF8, false, 4096),
                                         true);
            Timed("Start (destroy)", [&] { return doomed.Start(false); });
            std::this_thread::sleep_for(std::chrono::milliseconds(Rand(1500)));
            if (Rand(2))
                Timed("Pause (destroy)", [&] {
                    doomed.Pause();
                    return 0;
                });
            g_watch->Begin("destroying a running session");
        }
        g_watch->End();
        if (ThreadCount() != threads)
            Fail(label + ": " + std::to_string(ThreadCount() - threads) + " threads outlived their session");
        for (const std::string& file : ListFiles(platform::ToNativePath(plan.item.outputPath)))
            if (file.size() > 12 && file.compare(file.size() - 12, 12, ".varnel-part") == 0)
                Fail(label + ": temporary file left: " + file);
        RemoveTree(platform::ToNativePath(plan.item.outputPath));
        if (!plan.report.empty())
            ::remove(plan.report.c_str());
        CheckInput(label);
        return;
    }

    if (kind == RETRY) {
        // Retries of finished records, some made while the resumed session runs.
        const std::vector<CVarnexFileInfo*> finished = Records(VARNEXFILESTATUS_FINISHED);
        auto retrySome = [&](unsigned count) {
            for (unsigned i = 0; i < count && !finished.empty(); ++i) {
                CVarnexFileInfo* record = finished[Rand(static_cast<unsigned>(finished.size()))];
                static const int kCodepages[] = {1252, 1251, 932, 65001, 0, 1200, 20866, 437};
                const bool ok = Rand(2) ? m_session->RetryFile(record, true)
                                        : m_session->RetryFileSetCodepage(record, kCodepages[Rand(8)]);
                m_retries += ok;
            }
        };
        retrySome(1 + Rand(40));
        m_last.setting.converterThreads = Rand(5);
        m_session->EnableUpdateListDispatching(true);
        StartSession(m_last, true);
        std::atomic<bool> retrierDone{false};
        std::thread retrier([&, seed = static_cast<uint32_t>(m_random())] { RetryAsFinished(retrierDone, seed); });
        if (Rand(3) == 0)
            retrySome(1 + Rand(10));  // during the run (or as it ends)
        const bool stop = Rand(4) == 0;
        if (stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(Rand(300)));
            ++m_stopsAsked;
            Timed("Stop (retry)", [&] {
                m_session->Stop();
                return 0;
            });
        }
        WaitForEnd(label);
        retrierDone.store(true);
        retrier.join();
        m_session->EnableUpdateListDispatching(false);
        if (stop) {
            m_chainStopped = m_chainStopped || m_handler.LastReason() == VARNEXSESSIONSTOPREASON_USER;
            Check(label + " (stopped)", m_chainStopped);
            StartSession(m_last, true);  // the queued retries run now
            WaitForEnd(label);
        }
        Check(label, m_chainStopped);
        return;
    }

    const Plan plan = MakePlan(kind);
    StartSession(plan, false);
    m_last = plan;
    m_chainCanRetry = true;
    std::atomic<bool> churnDone{false};
    std::thread churn;
    if (kind == FILTER)
        churn = std::thread([&] { FilterChurn(churnDone); });
    const bool retryAsFinished = kind == FULL && Rand(2);
    m_session->EnableUpdateListDispatching(retryAsFinished);
    std::thread retrier;
    if (retryAsFinished)
        retrier = std::thread([&, seed = static_cast<uint32_t>(m_random())] { RetryAsFinished(churnDone, seed); });
    if (kind == PAUSE)
        PausesDuring(1 + Rand(5), 800);
    if (kind == STOP) {
        const unsigned delay = Rand(3) == 0 ? 0 : Rand(4000);
        ++m_stopsAsked;
        if (Rand(2)) {
            // Stopped from another thread (a signal handler's) while this one pauses and continues.
            std::thread stopper([this, delay] {
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                m_session->Stop();
            });
            PausesDuring(1 + Rand(6), 400);
            stopper.join();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            if (Rand(3) == 0)
                Timed("Pause (before stop)", [&] {
                    m_session->Pause();
                    return 0;
                });
            Timed("Stop", [&] {
                m_session->Stop();
                return 0;
            });
        }
    }
    WaitForEnd(label);
    churnDone.store(true);
    if (churn.joinable())
        churn.join();
    if (retrier.joinable())
        retrier.join();
    m_session->EnableUpdateListDispatching(false);
    m_chainStopped = m_handler.LastReason() == VARNEXSESSIONSTOPREASON_USER;
    Check(label, m_chainStopped);
    if (!plan.report.empty()) {
        // A header and one row per processing (a retried record's again); no
        // line break after the last.
        const std::string report = ReadFile(plan.report);
        const size_t rows = std::count(report.begin(), report.end(), '\n') + (!report.empty() && report.back() != '\n');
        const unsigned passes = m_session->passes.load();
        if (!m_session->IsResultExportOk() || rows != passes + 1)
            Fail(label + ": the report holds " + std::to_string(rows) + " rows for " + std::to_string(passes) +
                 " processings" + (m_session->IsResultExportOk() ? "" : " and says it failed"));
        ::remove(plan.report.c_str());
    }
    VARNEXSESSIONSUMMARY summary;
    m_session->GetSessionSummary(summary);
    if (!m_chainStopped && summary.totalFiles != ExpectedFiles(plan))
        Fail(label + ": found " + std::to_string(summary.totalFiles) + " files, the tree holds " +
             std::to_string(ExpectedFiles(plan)) + " that match");
}

void Soak::Check(const std::string& label, bool stoppedChain)
{
    for (const std::string& error : m_handler.TakeOrderErrors())
        Fail(label + ": message order: " + error);
    if (Probe::late.exchange(0))
        Fail(label + ": a handler was posted to after it was unregistered");
    if (m_session->IsRunning() || m_session->IsPaused() || m_session->IsStopping())
        Fail(label + ": still running, paused or stopping after STOPPED");

    VARNEXSESSIONSUMMARY summary;
    m_session->GetSessionSummary(summary);
    const bool finished = m_handler.LastReason() == VARNEXSESSIONSTOPREASON_FINISHED;
    std::vector<CVarnexFileInfo*> records;
    uint32_t processed = 0, converted = 0, copied = 0, warnings = 0, errors = 0, retrying = 0;
    std::map<int, unsigned> perCodepage;
    {
        CSingleLock lock(m_session->GetFileList().GetCriticalSection());
        records.assign(m_session->GetFileList().begin(), m_session->GetFileList().end());
        for (CVarnexFileInfo* r : records) {
            const VARNEXFILESTATUS status = r->GetStatus();
            if (status == VARNEXFILESTATUS_STARTED || status == VARNEXFILESTATUS_CONVERTING)
                Fail(label + ": record left " + (status == VARNEXFILESTATUS_STARTED ? "started" : "converting") + ": " +
                     text::ToUtf8(r->GetInputFile()));
            retrying += status == VARNEXFILESTATUS_RETRYING;
            if (status == VARNEXFILESTATUS_IDLE && !stoppedChain)
                Fail(label +
                     ": record left idle in a session that was never stopped: " + text::ToUtf8(r->GetInputFile()));
            if (status != VARNEXFILESTATUS_FINISHED)
                continue;
            ++processed;
            const VARNEXRESULTSTATE s = r->GetResultState();
            warnings += s == VARNEXRESULTSTATE_WARNING || s == VARNEXRESULTSTATE_NOT_SUPPORTED;
            errors += s == VARNEXRESULTSTATE_NONE || s == VARNEXRESULTSTATE_FAILED || s == VARNEXRESULTSTATE_ERROR ||
                      s == VARNEXRESULTSTATE_CONVERSION_ERROR || s == VARNEXRESULTSTATE_WRITE_ERROR;
            converted += r->GetResultOperation() == VARNEXRESULTOPERATION_CONVERTED;
            copied += r->GetResultOperation() == VARNEXRESULTOPERATION_COPIED;
            const CCodepageInfo* info = r->GetCodepageInfo();
            ++perCodepage[info ? info->GetCodepage() : -1];
        }
    }
    const auto expect = [&](const char* what, uint64_t summaryValue, uint64_t recount) {
        if (summaryValue != recount)
            Fail(label + ": summary " + what + " " + std::to_string(summaryValue) + ", records say " +
                 std::to_string(recount));
    };
    expect("total", summary.totalFiles, records.size());
    expect("processed", summary.processedFiles, processed);
    expect("converted", summary.convertedFiles, converted);
    expect("copied", summary.copiedFiles, copied);
    expect("warnings", summary.warningFiles, warnings);
    expect("errors", summary.errorFiles, errors);
    {
        CSingleLock lock(m_session->GetFileQueue().GetCriticalSection());
        expect("queued retries", m_session->GetFileQueue().size(), retrying);
    }
    // Retries made as the session ended wait, queued, for the next resume.
    if (finished && !stoppedChain && processed + retrying != records.size())
        Fail(label + ": finished with " + std::to_string(processed) + " of " + std::to_string(records.size()) +
             " processed");
    CLockableMap<int, unsigned> statistics;
    m_session->GetCodepageStatisticList(statistics);
    if (std::map<int, unsigned>(statistics.begin(), statistics.end()) != perCodepage)
        Fail(label + ": code page statistics differ from the records");
    if (m_session->IsFilterApplied()) {
        // The filtered list holds exactly the records that pass, once each.
        FILTEREDSESSIONSUMMARY filtered;
        m_session->GetFilteredSessionSummary(filtered);
        CLockableVector<CVarnexFileInfo*>& list = m_session->GetFilteredFileList();
        CSingleLock files(m_session->GetFileList().GetCriticalSection());
        CSingleLock lock(list.GetCriticalSection());
        const std::set<CVarnexFileInfo*> listed(list.begin(), list.end());
        std::set<CVarnexFileInfo*> passing;
        for (CVarnexFileInfo* r : records)
            if (m_applied ? (*m_applied)(r) : listed.count(r) != 0)
                passing.insert(r);
        if (listed.size() != list.size() || passing != listed || filtered.filteredFiles != list.size())
            Fail(label + ": the filtered list is not the records that pass (" + std::to_string(list.size()) +
                 " listed, " + std::to_string(passing.size()) + " pass)");
    }
    m_filesProcessed += processed;
    CheckOutputs(label, records);
    CheckInput(label);
}

void Soak::CheckOutputs(const std::string& label, const std::vector<CVarnexFileInfo*>& records)
{
    std::set<std::string> owned;
    for (CVarnexFileInfo* r : records) {
        const std::string output = platform::ToNativePath(r->GetOutputFile());
        if (output.empty())
            continue;
        owned.insert(output);
        if (r->GetStatus() != VARNEXFILESTATUS_FINISHED || r->GetResultOperation() == VARNEXRESULTOPERATION_NONE)
            continue;
        const std::string input = platform::ToNativePath(r->GetInputFile());
        bool exists = false;
        const std::string bytes = ReadFile(output, &exists);
        if (!exists) {
            Fail(label + ": output missing: " + output);
            continue;
        }
        if (r->GetResultOperation() == VARNEXRESULTOPERATION_COPIED) {
            if (bytes != ReadFile(input))
                Fail(label + ": copy differs from its input: " + output);
            continue;
        }
        std::u16string decoded;
        if (!DecodeOutput(bytes, r->GetOutputTextFormat(), r->GetWriteBOM(), decoded)) {
            Fail(label + ": output is not well-formed in its form or has the wrong BOM: " + output + " (form " +
                 std::to_string(r->GetOutputTextFormat()) + ", BOM " + (r->GetWriteBOM() ? "yes" : "no") +
                 ", read as " + std::to_string(r->GetCodepageInfo() ? r->GetCodepageInfo()->GetCodepage() : -1) + ")");
            continue;
        }
        const auto file = m_tree.find(input.substr(m_in.size() + 1));
        const CCodepageInfo* info = r->GetCodepageInfo();
        // Text read in the code page it was written in must come back exactly.
        const bool trusted = r->GetAllowAutoDetect()
                                 ? r->GetResultState() == VARNEXRESULTSTATE_OK
                                 : info && file != m_tree.end() && info->GetCodepage() == file->second.codepage;
        if (trusted && file != m_tree.end() && decoded != file->second.text)
            Fail(label + ": output text differs from its input's: " + output + " (read as " +
                 std::to_string(info ? info->GetCodepage() : -1) + ", written in " +
                 std::to_string(file->second.codepage) + ")");
    }
    for (const std::string& folder : m_outputs)
        for (const std::string& relative : ListFiles(folder)) {
            const std::string path = folder + "/" + relative;
            if (relative.size() > 12 && relative.compare(relative.size() - 12, 12, ".varnel-part") == 0)
                Fail(label + ": temporary file left: " + path);
            else if (!owned.count(path))
                Fail(label + ": output no record owns: " + path);
        }
}

void Soak::CheckInput(const std::string& label)
{
    const std::vector<std::string> now = ListFiles(m_in);
    if (now.size() != m_checksums.size())
        Fail(label + ": the input tree holds " + std::to_string(now.size()) + " files, it held " +
             std::to_string(m_checksums.size()));
    for (const std::string& relative : now) {
        const auto known = m_checksums.find(relative);
        if (known == m_checksums.end() || known->second != Fnv(ReadFile(m_in + "/" + relative)))
            Fail(label + ": input changed: " + relative);
    }
}

void Soak::PrintSummary(double minutes) const
{
    std::printf("Sessions\n");
    unsigned total = 0;
    for (int k = 0; k < KINDS; ++k) {
        std::printf("  %-8s %u\n", kKindNames[k], m_sessions[k]);
        total += m_sessions[k];
    }
    std::printf("  %-8s %u\n", "all", total);
    std::printf("Files processed  %llu\n", static_cast<unsigned long long>(m_filesProcessed));
    std::printf("Pauses %u, stops %u, retries %u (%u of them as the record finished)\n", m_pauses, m_stopsAsked,
                m_retries + m_retriesAsFinished.load(), m_retriesAsFinished.load());
    std::printf("Elapsed          %.1f min\n", minutes);
    std::printf("0 races, 0 deadlocks, %d invariant failures\n", g_failures);
}

}  // namespace

int main(int argc, char** argv)
{
    double minutes = 3;
    uint32_t seed = static_cast<uint32_t>(std::random_device{}());
    unsigned files = 3000;
    unsigned watchdog = 300;
    std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--minutes")
            minutes = std::atof(argv[i + 1]);
        else if (arg == "--seed")
            seed = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
        else if (arg == "--files")
            files = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
        else if (arg == "--dir")
            dir = argv[i + 1];
        else if (arg == "--watchdog")
            watchdog = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
        else {
            std::fprintf(stderr, "varnex_soak: unknown argument %s\n", arg.c_str());
            return 2;
        }
    }
    std::printf("Seed %u (--seed %u repeats this run), %u files, %.1f minutes\n", seed, seed, files, minutes);
    std::fflush(stdout);
    CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR));
    OperationWatch watch{std::chrono::seconds(watchdog)};
    g_watch = &watch;
    const auto start = Clock::now();
    {
        Soak soak(dir + "/varnel-soak-" + std::to_string(getpid()), seed, files);
        std::printf("Tree made in %.1f s\n", std::chrono::duration<double>(Clock::now() - start).count());
        std::fflush(stdout);
        const auto end = start + std::chrono::duration<double, std::ratio<60>>(minutes);
        while (Clock::now() < end)
            soak.RunOne();
        soak.PrintSummary(std::chrono::duration<double, std::ratio<60>>(Clock::now() - start).count());
    }
    return g_failures == 0 ? 0 : 1;
}
