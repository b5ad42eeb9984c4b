// The window tests share one QApplication on the offscreen platform, so they
// run without a display (CI, sanitizer builds), with the program's extension
// lists.
#include <cstdlib>

#include <QApplication>
#include <gtest/gtest.h>

#include "base/text.h"
#include "varnex/codepage/advanced_detector.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    // The extension lists the program finds beside itself.
    CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
