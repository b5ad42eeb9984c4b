#include "app/window/dialogs/preference_sheet.h"

#include <filesystem>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include "app/locale/locale_resource_manager.h"
#include "tests/window/dialog_test_support.h"
#include "tests/window/locale_test_folder.h"

namespace {

using dialog_test::Child;
using dialog_test::PressOk;
using dialog_test::PromptRecorder;
using dialog_test::Workspace;

class PreferenceSheet : public testing::Test {
protected:
    Workspace ws;
    PromptRecorder prompts;
    CLocaleResourceManager locales{dialog_test::MakeProgramFolder(ws.dir)};
};

TEST_F(PreferenceSheet, OkSavesEveryPageAndTheFileGivesThemBack)
{
    CPreferenceSheet sheet(nullptr, ws.settings, locales, ws.store);
    Child<QCheckBox>(sheet, "CopyUnconverted")->setChecked(true);
    Child<QCheckBox>(sheet, "WriteBom")->setChecked(false);
    Child<QComboBox>(sheet, "OutputEncoding")->setCurrentIndex(2);
    Child<QComboBox>(sheet, "ReturnType")->setCurrentIndex(3);
    Child<QSpinBox>(sheet, "ConverterThreads")->setValue(3);
    Child<QSpinBox>(sheet, "ChunkSize")->setValue(99999);  // held to the page's range
    Child<QSpinBox>(sheet, "SampleSize")->setValue(8);
    Child<QCheckBox>(sheet, "GB18030")->setChecked(true);
    Child<QCheckBox>(sheet, "ConsolidatedBuffer")->setChecked(false);
    EXPECT_FALSE(Child<QSpinBox>(sheet, "ReadBuffer")->isEnabled());
    Child<QSpinBox>(sheet, "PreviewSize")->setValue(64);
    PressOk(sheet);
    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts.texts.empty());

    CMySettings reloaded(ws.settings.GetSettingsFilePath(), u"2.0.0");
    ASSERT_TRUE(reloaded.Load());
    const ConversionOptions& o = reloaded.GetCurrentProfile().options;
    EXPECT_TRUE(o.copyUnconverted);
    EXPECT_FALSE(o.writeBom);
    EXPECT_EQ(o.outputTextFormat, CTextFileConverter::OUTPUTTEXTFORMAT_UTF16BE);
    EXPECT_EQ(o.returnType, CTextFileConverter::RETURNTYPE_LF);
    const VARNEXJOBSETTING& job = reloaded.GetJobSetting();
    EXPECT_EQ(job.converterThreads, 3u);
    EXPECT_EQ(job.chunkSize, 65536u);
    EXPECT_EQ(job.sampleSizeMB, 8u);
    EXPECT_TRUE(job.useGB18030);
    EXPECT_FALSE(job.useConsolidatedBuffer);
    EXPECT_EQ(reloaded.GetPreviewSizeLimit(), 64u << 10);

    CPreferenceSheet again(nullptr, reloaded, locales, ws.store);
    EXPECT_EQ(Child<QSpinBox>(again, "ConverterThreads")->value(), 3);
}

TEST_F(PreferenceSheet, LanguagePageStoresTheChoiceAndLeavesOtherValuesAlone)
{
    {
        CPreferenceSheet sheet(nullptr, ws.settings, locales, ws.store);
        EXPECT_TRUE(Child<QRadioButton>(sheet, "PreferSystem")->isChecked());
        Child<QRadioButton>(sheet, "ChosenLanguage")->setChecked(true);
        QListWidget* list = Child<QListWidget>(sheet, "Languages");
        ASSERT_EQ(list->count(), 2);
        list->setCurrentRow(0);
        PressOk(sheet);
    }
    EXPECT_EQ(ws.store.GetProfileString(u"Settings", u"LanguageDir"), u"de_DE");
    EXPECT_EQ(ws.settings.GetPreviewSizeLimit(), 0u);  // shown as 1 KiB, still unset
    EXPECT_EQ(prompts.texts, std::vector<QString>{QStringLiteral(
                                 "Language settings will take effect after you exit and restart Varnel")});

    CPreferenceSheet unchanged(nullptr, ws.settings, locales, ws.store);
    EXPECT_TRUE(Child<QRadioButton>(unchanged, "ChosenLanguage")->isChecked());
    EXPECT_EQ(Child<QListWidget>(unchanged, "Languages")->currentRow(), 0);
    PressOk(unchanged);
    EXPECT_EQ(prompts.texts.size(), 1u);
}

TEST_F(PreferenceSheet, SettingsThatCannotBeSavedKeepTheSheetOpenAndMemoryUnchanged)
{
    testing_support::WriteBytes(ws.dir.File("not-a-folder"), "x");
    CMySettings settings(ws.dir.File16("not-a-folder/VarnelPro.Current.xml"), u"2.0.0");
    CPreferenceSheet sheet(nullptr, settings, locales, ws.store);
    Child<QSpinBox>(sheet, "ConverterThreads")->setValue(5);
    PressOk(sheet);
    EXPECT_NE(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(sheet.isVisible());
    ASSERT_EQ(prompts.texts.size(), 1u);
    EXPECT_TRUE(prompts.texts[0].startsWith(QStringLiteral("The settings could not be saved.")));
    EXPECT_EQ(settings.GetJobSetting().converterThreads, 0u);
}

}  // namespace
