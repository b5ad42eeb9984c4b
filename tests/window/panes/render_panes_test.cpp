// Renders the panes and dialogs to PNG files for a look, in English and
// German: VARNEL_RENDER_DIR=/tmp/shots window_tests --gtest_filter='Render*'
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "app/locale/locale_resource_manager.h"
#include "app/settings/profile_store.h"
#include "app/window/dialogs/assign_codepage_dlg.h"
#include "app/window/dialogs/help_about.h"
#include "app/window/models/shell_actions.h"
#include "app/window/panes/detail_wnd.h"
#include "app/window/panes/filter_wnd.h"
#include "app/window/panes/preview_wnd.h"
#include "app/window/panes/text_preview_view.h"
#include "base/text.h"
#include "tests/window/detected_folder.h"
#include "textrion/path/long_path.h"

namespace {

void Save(QWidget& widget, const std::string& folder, const std::string& name, QSize size)
{
    widget.resize(size);
    widget.show();
    QTest::qWait(50);
    EXPECT_TRUE(widget.grab().save(QString::fromStdString(folder + "/" + name + ".png")));
    widget.hide();
}

FileSelection SelectionOf(CFilterableVarnex& session, const char16_t* name)
{
    FileSelection selection;
    CSingleLock lock(session.GetFileList().GetCriticalSection());
    for (CVarnexFileInfo* record : session.GetFileList()) {
        if (record->GetInputFileName() != name)
            continue;
        selection.valid = true;
        selection.inputPath = record->GetInputFile();
        const CCodepageInfo* info = record->GetCodepageInfo();
        selection.codepage = info ? info->GetCodepage() : -1;
        selection.codepageName = info ? info->GetCodepageName() : u"";
        selection.confidence = record->GetConfidence();
        selection.hasBom = record->GetHasBom();
        selection.statusText = record->GetResultState() == VARNEXRESULTSTATE_WARNING ? u"Warning" : u"OK";
        selection.message = record->GetMessage();
        selection.replaced = record->GetReplacedCount();
        selection.bytesIn = record->GetBytesIn();
        selection.finished = true;
    }
    return selection;
}

TEST(RenderPanes, ToPngInEnglishAndGerman)
{
    const char* target = std::getenv("VARNEL_RENDER_DIR");
    if (target == nullptr)
        GTEST_SKIP() << "set VARNEL_RENDER_DIR to render";
    testing_support::TempDir dir;
    window_test::EndingFilterableSession session;
    ASSERT_TRUE(window_test::DetectFolder(session, window_test::MakeMixedFolder(dir)));
    const std::u16string programFolder = CLongPath(CLongPath::GetAppDir()).Append(u"../../app").GetPath();
    for (const char* language : {"en_US", "de_DE"}) {
        CLocaleResourceManager locales(programFolder);
        if (std::string(language) != "en_US") {
            ASSERT_TRUE(locales.Initialize(text::FromUtf8(language), u"", {}));
        }
        const std::string folder = std::string(target) + "/" + language;
        std::filesystem::create_directories(folder);

        CFilterWnd filters;
        filters.SetSession(&session);
        filters.AttentionBox()->setChecked(true);
        Save(filters, folder, "filters", {360, 460});
        filters.ClearFilter();

        CDetailWnd details;
        details.ShowFile(SelectionOf(session, u"twice.txt"));
        Save(details, folder, "details", {380, 320});

        CPreviewWnd preview;
        preview.ShowFile(SelectionOf(session, u"russian.txt"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !preview.IsLoading(); }));
        Save(preview, folder, "preview", {560, 260});
        FileSelection missing = SelectionOf(session, u"russian.txt");
        missing.outputPath = dir.File16("out/russian.txt");
        preview.ShowFile(missing);
        Save(preview, folder, "preview_missing", {560, 200});

        CProfileStore store(dir.File16("store.ini"));
        CAssignCodepageDlg dialog(nullptr, store, dir.File16("in/russian.txt"), 1251, 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Preview()->IsLoading(); }));
        Save(dialog, folder, "assign_codepage", {840, 520});
        dialog.Tree()->setCurrentItem(dialog.Tree()->topLevelItem(0));
        Save(dialog, folder, "assign_codepage_root", {840, 520});

        CFilePropertiesDlg properties(nullptr, dir.File16("in/russian.txt"));
        Save(properties, folder, "properties", properties.sizeHint());
        std::unique_ptr<QMessageBox> about(CreateAboutBox(nullptr));
        Save(*about, folder, "about", about->sizeHint());
    }
}

}  // namespace
