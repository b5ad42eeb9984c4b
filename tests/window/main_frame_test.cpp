#include "app/window/main_frame.h"

#include <QMenuBar>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "app/locale/locale_resource_manager.h"
#include "app/settings/my_settings.h"
#include "app/settings/profile_store.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

TEST(MainFrame, OpensWithTheProgramTitleAndItsMenus)
{
    TempDir dir;
    CLocaleResourceManager locales;
    CMySettings settings;
    CProfileStore store(dir.File16("store.ini"));
    CMainFrame frame(settings, locales, store);
    frame.show();
    EXPECT_TRUE(frame.windowTitle().startsWith(QStringLiteral("Varnel Professional 2.")));
    EXPECT_FALSE(frame.menuBar()->actions().isEmpty());
}

}  // namespace
