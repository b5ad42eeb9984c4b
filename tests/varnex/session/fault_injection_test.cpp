// Sessions over a mixed tree with file faults injected through the file
// layer's seam. Whatever fails, every file ends either converted (or copied)
// exactly as without faults, or with a failure state, a reason and no output;
// no input changes unless the fault itself changed it; no temporary file
// stays; the summary and the report agree with the records.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>

#include "base/text.h"
#include "platform/file_api.h"
#include "platform/native_path.h"
#include "support/ending_session.h"
#include "support/temp_dir.h"
#include "tools/corpus/mixed_tree.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/export/csv_exporter.h"
#include "varnex/session/varnex.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
namespace fs = std::filesystem;

enum class Fault {
    ShortReads,
    ShortWrites,
    DiskFull,
    ReadError,
    RemovedWhileRead,
    TruncatedWhileRead,
    InputDenied,
    OutputDenied,
    FolderRemoved,
    FolderSwappedForLink,
    RenameFails,
    OutOfMemory,
};

struct FaultRow {
    const char* name;
    Fault fault;
    bool chosenFail;  // the chosen files may end in a failure (else: every file converts)
};

const FaultRow kFaults[] = {
    {"ShortReads", Fault::ShortReads, false},
    {"ShortWrites", Fault::ShortWrites, false},
    {"DiskFull", Fault::DiskFull, true},
    {"ReadError", Fault::ReadError, true},
    {"RemovedWhileRead", Fault::RemovedWhileRead, true},  // gone before detection ended
    {"TruncatedWhileRead", Fault::TruncatedWhileRead, false},
    {"InputDenied", Fault::InputDenied, true},
    {"OutputDenied", Fault::OutputDenied, true},
    {"FolderRemoved", Fault::FolderRemoved, true},
    {"FolderSwappedForLink", Fault::FolderSwappedForLink, true},
    {"RenameFails", Fault::RenameFails, true},
    {"OutOfMemory", Fault::OutOfMemory, true},  // thrown where no layer below the session catches it
};

std::string PathOf(platform::FileHandle handle)
{
    char path[PATH_MAX] = {};
    const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(handle)).c_str(), path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// The output a temporary name stands for: ".<name>.<tag>.varnel-part" -> "<name>".
std::string FinalName(const std::string& path)
{
    std::string name = fs::path(path).filename().string();
    if (name.size() > 12 && name.compare(name.size() - 12, 12, ".varnel-part") == 0) {
        name = name.substr(1, name.size() - 13);
        name = name.substr(0, name.rfind('.'));
    }
    return name;
}

// A third of the files, the same in every run.
bool Chosen(const std::string& path)
{
    return std::hash<std::string>{}(FinalName(path)) % 3 == 0;
}

bool Below(const std::string& path, const std::string& root)
{
    return path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/';
}

class Injector : public platform::FileFaultInjector {
public:
    Injector(Fault fault, std::string in, std::string out) : m_fault(fault), m_in(std::move(in)), m_out(std::move(out))
    {
        platform::SetFileFaultInjector(this);
    }
    ~Injector() override { platform::SetFileFaultInjector(nullptr); }

    int BeforeOpen(std::u16string_view path16, uint32_t access) override
    {
        const std::string path = platform::ToNativePath(path16);
        const bool write = access & platform::FILE_ACCESS_WRITE;
        if (m_fault == Fault::OutOfMemory && Below(path, m_out) && Chosen(path)) {
            Hit(0);
            throw std::bad_alloc();
        }
        if ((m_fault == Fault::InputDenied && !write && Below(path, m_in) && Chosen(path)) ||
            (m_fault == Fault::OutputDenied && write && Below(path, m_out) && Chosen(path)))
            return Hit(EACCES);
        return 0;
    }
    int BeforeRead(platform::FileHandle handle, size_t) override
    {
        if (m_fault != Fault::ReadError && m_fault != Fault::RemovedWhileRead && m_fault != Fault::TruncatedWhileRead)
            return 0;
        const std::string path = PathOf(handle);
        if (!Below(path, m_in) || !Chosen(path))
            return 0;
        std::lock_guard lock(m_mutex);
        if (m_fault == Fault::ReadError)
            return ++m_reads[handle] >= 2 ? Hit(EIO) : 0;  // the file opens, then fails midway
        if (!m_changed.insert(path.substr(m_in.size() + 1)).second)
            return 0;  // each file is changed once
        if (m_fault == Fault::RemovedWhileRead)
            unlink(path.c_str());
        else
            truncate(path.c_str(), static_cast<off_t>(fs::file_size(path) / 2));
        Hit(0);
        return 0;
    }
    int BeforeWrite(platform::FileHandle handle, size_t) override
    {
        if (m_fault != Fault::DiskFull && m_fault != Fault::FolderRemoved && m_fault != Fault::FolderSwappedForLink)
            return 0;
        const std::string path = PathOf(handle);
        if (!Below(path, m_out) || !Chosen(path))
            return 0;
        if (m_fault == Fault::DiskFull)
            return Hit(ENOSPC);
        // Someone removes the folder the output is being written into.
        std::lock_guard lock(m_mutex);
        const std::string folder = fs::path(path).parent_path().string();
        if (folder != m_out && m_removedFolders.insert(folder.substr(m_out.size() + 1)).second) {
            std::error_code ignored;
            if (m_fault == Fault::FolderRemoved) {
                fs::remove_all(folder, ignored);
            } else {
                // Or puts a link to a folder outside the output in its place.
                fs::rename(folder, m_out + "-moved-" + std::to_string(m_removedFolders.size()), ignored);
                fs::create_directories(Victim(), ignored);
                fs::create_directory_symlink(Victim(), folder, ignored);
            }
            Hit(0);
        }
        return 0;
    }
    int BeforeRename(std::u16string_view, std::u16string_view to) override
    {
        const std::string path = platform::ToNativePath(to);
        return m_fault == Fault::RenameFails && Below(path, m_out) && Chosen(path) ? Hit(EIO) : 0;
    }
    size_t MaxTransfer(platform::FileHandle, size_t count) override
    {
        if (m_fault == Fault::ShortReads || m_fault == Fault::ShortWrites) {
            ++m_injected;
            return std::min<size_t>(count, 7);
        }
        return count;
    }

    unsigned Injected() const { return m_injected.load(); }
    std::string Victim() const { return m_out + "-victim"; }
    const std::set<std::string>& ChangedInputs() const { return m_changed; }
    const std::set<std::string>& RemovedFolders() const { return m_removedFolders; }

private:
    int Hit(int error)
    {
        ++m_injected;
        return error;
    }

    Fault m_fault;
    std::string m_in, m_out;
    std::mutex m_mutex;
    std::map<platform::FileHandle, int> m_reads;
    std::set<std::string> m_changed;         // inputs, relative
    std::set<std::string> m_removedFolders;  // output folders, relative
    std::atomic<unsigned> m_injected{0};
};

using testing_support::EndingSession;
constexpr std::chrono::minutes kSessionLimit{5};

// Every regular file below root, relative path to content.
std::map<std::string, std::string> Snapshot(const std::string& root)
{
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file() && !it->is_symlink())
            files[it->path().string().substr(root.size() + 1)] = ReadBytes(it->path().string());
    return files;
}

// The rows of a CSV report (RFC 4180 quoting), header included.
std::vector<std::vector<std::string>> CsvRows(const std::string& csv)
{
    std::vector<std::vector<std::string>> rows(1);
    std::string cell;
    bool quoted = false, any = false;
    for (size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        any = true;
        if (quoted) {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"')
                cell += csv[++i];
            else if (c == '"')
                quoted = false;
            else
                cell += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(std::move(cell));
            cell.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n')
                ++i;
            rows.back().push_back(std::move(cell));
            cell.clear();
            rows.emplace_back();
            any = false;
        } else {
            cell += c;
        }
    }
    if (any)
        rows.back().push_back(std::move(cell));
    else
        rows.pop_back();
    return rows;
}

bool IsFailure(VARNEXRESULTSTATE state)
{
    return state == VARNEXRESULTSTATE_ERROR || state == VARNEXRESULTSTATE_WRITE_ERROR ||
           state == VARNEXRESULTSTATE_CONVERSION_ERROR || state == VARNEXRESULTSTATE_FAILED;
}

class FaultInjection : public testing::TestWithParam<FaultRow> {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        fs::create_directory(s_dir->File("in"));
        corpus::TreeOptions options;
        options.files = 240;
        options.filesPerFolder = 12;
        corpus::MakeMixedTree(s_dir->File("in"), options);
        s_inputs = new std::map<std::string, std::string>(Snapshot(s_dir->File("in")));
        CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR));
        EndingSession session;
        Run(session, "baseline");
        s_baseline = new std::map<std::string, std::string>(Snapshot(s_dir->File("baseline")));
    }
    static void TearDownTestSuite()
    {
        CAdvancedDetector::GetKnownExtList().SetFolder(u"");
        std::printf("[ faults  ] %u faults injected in all, %u file results checked\n", s_injected, s_checked);
        delete s_baseline;
        delete s_inputs;
        delete s_dir;
    }
    static bool Run(EndingSession& session, const std::string& output, CVarnexResultExporter* exporter = nullptr,
                    unsigned threads = 2)
    {
        tagVARNEXBATCHJOBITEM item;
        item.folder = item.options.recursive = item.options.processHiddenFiles = item.options.copyUnconverted = true;
        item.options.writeBom = false;
        item.inputPath = s_dir->File16("in");
        item.outputPath = s_dir->File16(output);
        VARNEXJOBSETTING setting;
        setting.detectOnly = false;
        setting.converterThreads = threads;
        session.SetResultExporter(exporter, false);
        session.PrepareJob(item);
        return session.Start(setting) && session.WaitForEnd(kSessionLimit);
    }

    static TempDir* s_dir;
    static std::map<std::string, std::string>* s_inputs;
    static std::map<std::string, std::string>* s_baseline;
    static unsigned s_injected, s_checked;
};

TempDir* FaultInjection::s_dir = nullptr;
std::map<std::string, std::string>* FaultInjection::s_inputs = nullptr;
std::map<std::string, std::string>* FaultInjection::s_baseline = nullptr;
unsigned FaultInjection::s_injected = 0;
unsigned FaultInjection::s_checked = 0;

TEST_P(FaultInjection, EveryFileEndsWholeOrFailedAndTheReportAgrees)
{
    const FaultRow& row = GetParam();
    const std::string in = s_dir->File("in"), out = s_dir->File(row.name);
    const std::string report = s_dir->File(std::string(row.name) + ".csv");
    EndingSession session;
    CVarnexStandardCSVExporter exporter(text::FromUtf8(report).c_str(), TEXTENCODING_UTF8, false, 4096);
    std::set<std::string> changed, removedFolders;
    std::string victim;
    {
        Injector injector(row.fault, in, out);
        victim = injector.Victim();
        ASSERT_TRUE(Run(session, row.name, &exporter)) << "the session did not end";
        changed = injector.ChangedInputs();
        removedFolders = injector.RemovedFolders();
        s_injected += injector.Injected();
        EXPECT_GT(injector.Injected(), 0u) << "no fault was injected";
        std::printf("[ faults  ] %s: %u injected\n", row.name, injector.Injected());
    }

    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    VARNEXSESSIONSUMMARY recount;
    std::map<std::string, std::string> statusOf;  // input path bytes -> report status
    {
        CSingleLock lock(session.GetFileList().GetCriticalSection());
        for (CVarnexFileInfo* record : session.GetFileList()) {
            const std::string input = platform::ToNativePath(record->GetInputFile());
            const std::string relative = input.substr(in.size() + 1);
            const VARNEXRESULTSTATE state = record->GetResultState();
            const VARNEXRESULTOPERATION operation = record->GetResultOperation();
            SCOPED_TRACE(relative + ": " + text::ToUtf8(record->GetMessage()));
            ++s_checked;
            ++recount.totalFiles;
            recount.processedFiles += record->GetStatus() == VARNEXFILESTATUS_FINISHED;
            recount.errorFiles += IsFailure(state);
            recount.warningFiles += state == VARNEXRESULTSTATE_WARNING || state == VARNEXRESULTSTATE_NOT_SUPPORTED;
            recount.convertedFiles += operation == VARNEXRESULTOPERATION_CONVERTED;
            recount.copiedFiles += operation == VARNEXRESULTOPERATION_COPIED;
            statusOf[input] = text::ToUtf8(CVarnexStandardCSVExporter::GetResultText(state, operation));

            const std::string output = platform::ToNativePath(record->GetOutputFile());
            const bool hasOutput = fs::exists(fs::symlink_status(output));
            const std::string folder = fs::path(output.substr(out.size() + 1)).parent_path().string();
            // The folder or one above it was removed or swapped.
            const bool removed = std::any_of(removedFolders.begin(), removedFolders.end(), [&](const std::string& r) {
                return folder == r || folder.compare(0, r.size() + 1, r + "/") == 0;
            });
            if (IsFailure(state)) {
                // A removed folder also fails the other files being written into it.
                EXPECT_TRUE(row.chosenFail && (Chosen(input) || removed)) << "a file the fault did not touch failed";
                EXPECT_FALSE(record->GetMessage().empty());
                EXPECT_FALSE(hasOutput) << "a failed file left an output";
                continue;
            }
            EXPECT_NE(operation, VARNEXRESULTOPERATION_NONE);
            if (removed && !hasOutput)
                continue;  // written, then removed with its folder by someone else
            ASSERT_TRUE(hasOutput);
            if (changed.count(relative) && row.fault == Fault::TruncatedWhileRead) {
                EXPECT_LE(ReadBytes(output).size(), s_baseline->at(relative).size()) << "read as it was";
            } else {
                EXPECT_EQ(ReadBytes(output), s_baseline->at(relative)) << "differs from the run without faults";
            }
        }
    }
    EXPECT_EQ(summary.totalFiles, recount.totalFiles);
    EXPECT_EQ(summary.processedFiles, recount.totalFiles);
    EXPECT_EQ(summary.errorFiles, recount.errorFiles);
    EXPECT_EQ(summary.warningFiles, recount.warningFiles);
    EXPECT_EQ(summary.convertedFiles, recount.convertedFiles);
    EXPECT_EQ(summary.copiedFiles, recount.copiedFiles);
    if (row.chosenFail) {
        EXPECT_GT(summary.errorFiles, 0u);
    }

    // One report row per record, with its status.
    const auto rows = CsvRows(ReadBytes(report));
    ASSERT_EQ(rows.size(), statusOf.size() + 1);
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_GE(rows[i].size(), 6u);
        ASSERT_TRUE(statusOf.count(rows[i][0])) << "a row names no record: " << rows[i][0];
        EXPECT_EQ(rows[i][5], statusOf[rows[i][0]]) << rows[i][0];
    }

    // Nothing went through a link put in the output tree.
    if (fs::exists(victim)) {
        EXPECT_TRUE(fs::is_empty(victim)) << "written outside the output folder";
    }

    // No temporary file anywhere; no input changed but by the fault itself.
    if (fs::exists(out)) {
        for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator(); ++it)
            EXPECT_EQ(it->path().string().find(".varnel-part"), std::string::npos) << it->path();
    }
    const auto now = Snapshot(in);
    for (const auto& [relative, bytes] : *s_inputs) {
        if (changed.count(relative)) {
            WriteBytes(in + "/" + relative, bytes);  // put it back for the next fault
            continue;
        }
        ASSERT_TRUE(now.count(relative)) << relative;
        EXPECT_EQ(now.at(relative), bytes) << "input changed: " << relative;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultInjection, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<FaultRow>& row) { return std::string(row.param.name); });

}  // namespace
