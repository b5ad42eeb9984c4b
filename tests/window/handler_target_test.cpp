// The way engine messages reach the UI thread, and what a large session
// costs the UI thread.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "app/window/panes/session_list_view.h"
#include "app/window/panes/varnex_control_bar.h"
#include "app/window/qt_handler_target.h"
#include "tests/window/list_test_support.h"
#include "tools/corpus/mixed_tree.h"

namespace {

using namespace list_tests;

TEST(QtHandlerTarget, FoldsAFloodOfFileNoticesButDeliversEverySessionMessageInOrder)
{
    CQtHandlerTarget target;
    QSignalSpy spy(&target, &CQtHandlerTarget::posted);
    const unsigned session = CVarnex::GetHandlerMessage();
    const unsigned notice = CQtHandlerTarget::ListNotifyMessage();
    std::thread engine([&] {
        for (int i = 0; i < 20000; ++i) {
            target.Post(notice, 0, 0);
            if (i % 5000 == 0)
                target.Post(session, VARNEXMESSAGE_PAUSED + (i / 5000) % 2, i);
        }
        target.Post(session, VARNEXMESSAGE_STOPPED, VARNEXSESSIONSTOPREASON_FINISHED);
    });
    engine.join();
    ASSERT_TRUE(WaitUntil([&] { return !spy.isEmpty() && spy.last().at(1).toUInt() == VARNEXMESSAGE_STOPPED; }, 10000));
    std::vector<qintptr> sessionMessages;
    int notices = 0;
    for (const QList<QVariant>& call : spy) {
        if (call.at(0).toUInt() == notice)
            ++notices;
        else
            sessionMessages.push_back(call.at(2).value<qintptr>());
    }
    EXPECT_EQ(sessionMessages, (std::vector<qintptr>{0, 5000, 10000, 15000, VARNEXSESSIONSTOPREASON_FINISHED}));
    EXPECT_GE(notices, 1);
    EXPECT_LE(notices, 3);  // all posted before the UI thread looked: folded into few
}

// The longest time the UI thread did not get to run a 10 ms timer while the
// session view shows a conversion of 2,000 files (VARNEL_STALL_FILES for
// another count). Printed, not judged closely: machines differ; a second
// means the view blocks on the engine.
TEST(SessionViewResponsiveness, ReportsTheLongestUiStallOfAConversionSession)
{
    const char* wanted = std::getenv("VARNEL_STALL_FILES");
    const unsigned files = wanted ? static_cast<unsigned>(std::strtoul(wanted, nullptr, 10)) : 2000;
    testing_support::TempDir dir;
    std::filesystem::create_directory(dir.File("in"));
    corpus::MakeMixedTree(dir.File("in"), {.files = files, .filesPerFolder = 40});
    CSessionListView view;
    view.resize(1000, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));  // the first paint is not the session's
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    VARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.recursive = true;
    item.inputPath = dir.File16("in");
    item.outputPath = dir.File16("out");
    clock.start();
    ticker.start(10);
    ASSERT_TRUE(view.StartConversion({item}, VARNEXJOBSETTING{}));
    ASSERT_TRUE(WaitUntil([&] { return view.IsIdle() && view.ControlBar()->Title() == "Conversion Finished"; }));
    ticker.stop();
    std::printf("[ measure  ] %d files in %lld ms; longest UI-thread stall %lld ms (timer every 10 ms)\n",
                view.Model()->rowCount(), static_cast<long long>(clock.elapsed()), static_cast<long long>(longest));
    EXPECT_GT(view.Model()->rowCount(), static_cast<int>(files * 9 / 10));
    EXPECT_LT(longest, 1000);
}

}  // namespace
