// Starting a new session the way the window and the headless run do.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "base/text.h"
#include "support/temp_dir.h"
#include "varnex/session/session_end_signal.h"
#include "varnex/session/session_start.h"
#include "varnex/session/varnex.h"

namespace {

using namespace std::chrono_literals;
using testing_support::TempDir;
using testing_support::WriteBytes;

VARNEXBATCHJOBITEM Folder(const TempDir& dir, const std::string& name, int files)
{
    mkdir(dir.File(name).c_str(), 0777);
    for (int i = 0; i < files; ++i)
        WriteBytes(dir.File(name + "/f" + std::to_string(i) + ".txt"), "text " + std::to_string(i) + "\n");
    VARNEXBATCHJOBITEM item;
    item.folder = true;
    item.inputPath = text::FromUtf8(dir.File(name));
    return item;
}

// Holds the first file's start until released.
class HoldFirstFile : public SessionObserver {
public:
    void OnFileStartProcessing(CVarnexFileInfo*) override
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_released; });
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
};

// A start refused while a session runs must not leave its items for the next
// session, which would walk folders nobody asked it for.
TEST(SessionStart, ARefusedStartLeavesNothingForTheNextSession)
{
    TempDir dir;
    CSessionEndSignal end;
    HoldFirstFile hold;
    CVarnex session(&end, nullptr, &hold);
    SessionStartParams first;
    first.items = {Folder(dir, "first", 40)};
    ASSERT_TRUE(StartNewSession(session, first));

    SessionStartParams refused;
    refused.items = {Folder(dir, "refused", 5)};
    EXPECT_FALSE(StartNewSession(session, refused)) << "the first session still runs";
    hold.Release();
    ASSERT_TRUE(end.WaitForStops(1, 2min));

    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.totalFiles, 40u);

    SessionStartParams next;
    next.items = {Folder(dir, "next", 3)};
    ASSERT_TRUE(StartNewSession(session, next));
    ASSERT_TRUE(end.WaitForStops(2, 2min));
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.totalFiles, 3u) << "only the next session's own folder";
}

}  // namespace
