#include "app/window/main_frame.h"

#include <QMenuBar>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "app/locale/locale_resource_manager.h"
#include "app/settings/my_settings.h"

namespace {

TEST(MainFrame, OpensWithTheProgramTitleAndItsMenus)
{
    CLocaleResourceManager locales;
    CMySettings settings;
    CMainFrame frame(settings, locales);
    frame.show();
    EXPECT_TRUE(frame.windowTitle().startsWith(QStringLiteral("Varnel Professional 2.")));
    EXPECT_FALSE(frame.menuBar()->actions().isEmpty());
}

}  // namespace
