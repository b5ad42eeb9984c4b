// Pictures of the main window for the documentation, in English and German:
// during and after a conversion, the correction dialog and the preferences.
// Runs only with VARNEL_SCREENSHOT_DIR set (scripts/screenshots.sh).
#include <cstdlib>
#include <filesystem>

#include <QApplication>
#include <QItemSelectionModel>
#include <QTabWidget>
#include <QTableView>
#include <gtest/gtest.h>

#include "app/locale/locale_resource_manager.h"
#include "app/locale/tr.h"
#include "app/settings/my_settings.h"
#include "app/settings/profile_store.h"
#include "app/window/dialogs/assign_codepage_dlg.h"
#include "app/window/dialogs/preference_sheet.h"
#include "app/window/main_frame.h"
#include "app/window/panes/file_list_view.h"
#include "app/window/panes/folder_list_wnd.h"
#include "app/window/panes/session_list_view.h"
#include "base/text.h"
#include "tests/window/list_test_support.h"
#include "tests/window/locale_test_folder.h"
#include "tools/corpus/mixed_tree.h"
#include "varnex/convert/file_outcome.h"

namespace {

using namespace list_tests;
using testing_support::TempDir;

void Save(QWidget& widget, const std::string& name)
{
    QApplication::processEvents();
    widget.grab().save(QString::fromStdString(std::string(std::getenv("VARNEL_SCREENSHOT_DIR")) + "/" + name + ".png"));
}

VARNEXBATCHJOBITEM Conversion(const std::u16string& in, const std::u16string& out)
{
    VARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.recursive = true;
    item.options.writeBom = false;
    item.inputPath = in;
    item.outputPath = out;
    return item;
}

class Screenshots : public testing::TestWithParam<const char*> { };

TEST_P(Screenshots, MainWindowDialogsAndPreferences)
{
    if (std::getenv("VARNEL_SCREENSHOT_DIR") == nullptr)
        GTEST_SKIP() << "set VARNEL_SCREENSHOT_DIR to save the pictures";
    const std::string language = GetParam();
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    CLocaleResourceManager locales{text::FromUtf8(dialog_test::ShippedLocales().parent_path().string())};
    if (language != "en") {
        ASSERT_TRUE(locales.Initialize(u"de_DE", u""));
    }
    // As the program does at start: the engine's reasons in the language shown.
    SetReasonTranslator([](const char* english) { return Tr("Reasons", english); });
    CMySettings settings;
    CProfileStore store(dir.File16("store.ini"));
    std::filesystem::create_directories(dir.File("Documents/Archive"));
    WriteMixedFolder(dir.File("Documents"));
    corpus::TreeOptions options;
    options.files = 6000;
    corpus::MakeMixedTree(dir.File("Documents/Archive"), options);

    CMainFrame frame(settings, locales, store);
    frame.resize(1440, 900);
    frame.show();
    ASSERT_TRUE(frame.FolderView()->SelectFolder(dir.File16("Documents")));
    ASSERT_TRUE(WaitUntil([&] { return frame.FileView()->IsIdle() && frame.FileView()->Model()->rowCount() > 0; }));

    // During: a recursive conversion of the whole folder.
    VARNEXJOBSETTING job = settings.GetJobSetting();
    job.converterThreads = 1;
    ASSERT_TRUE(
        frame.SessionView()->StartConversion({Conversion(dir.File16("Documents"), dir.File16("Converted"))}, job));
    frame.Tabs()->setCurrentWidget(frame.SessionView());
    ASSERT_TRUE(WaitUntil([&] { return frame.SessionView()->Model()->rowCount() > 800; }));
    frame.SessionView()->Pause();
    ASSERT_TRUE(WaitUntil([&] { return frame.SessionView()->IsPaused(); }));
    Save(frame, "main-during-" + language);
    frame.SessionView()->Continue();
    ASSERT_TRUE(WaitUntil([&] { return frame.SessionView()->IsIdle(); }));

    // After: a doubtful file selected, its details and preview beside the list.
    const int row = RowOf(*frame.SessionView()->Model(), u"weak.txt");
    ASSERT_GE(row, 0);
    frame.SessionView()->Table()->selectionModel()->setCurrentIndex(
        frame.SessionView()->Model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    frame.SessionView()->Table()->scrollTo(frame.SessionView()->Model()->index(row, 0));
    QTest::qWait(300);
    Save(frame, "main-after-" + language);

    CAssignCodepageDlg correction(&frame, store, dir.File16("Documents/weak.txt"), 1252, 4096);
    correction.resize(760, 480);
    correction.show();
    Save(correction, "correction-" + language);
    correction.close();

    CPreferenceSheet preferences(&frame, settings, locales, store);
    preferences.show();
    Save(preferences, "preferences-" + language);
    preferences.close();
    SetReasonTranslator(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Languages, Screenshots, testing::Values("en", "de"));

}  // namespace
