#pragma once

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <gtest/gtest.h>

#include "app/settings/my_settings.h"
#include "app/settings/profile_store.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "base/text.h"
#include "support/temp_dir.h"

namespace dialog_test {

// Answers the dialogs' message boxes and keeps what they said. Without a
// queued answer a box is answered with its first button (Ok, Yes).
class PromptRecorder {
public:
    PromptRecorder()
    {
        m_previous = SetDialogPromptHook([this](const DialogPromptRequest& request) {
            texts.push_back(request.text);
            if (!answers.empty()) {
                const QMessageBox::StandardButton answer = answers.front();
                answers.pop_front();
                return answer;
            }
            return request.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
        });
    }
    ~PromptRecorder() { SetDialogPromptHook(m_previous); }
    PromptRecorder(const PromptRecorder&) = delete;
    std::vector<QString> texts;
    std::deque<QMessageBox::StandardButton> answers;

private:
    DialogPromptHook m_previous;
};

template <typename T> T* Child(QWidget& dialog, const char* name)
{
    T* child = dialog.findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

inline void PressOk(QDialog& dialog)
{
    dialog.show();
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

// Settings file, profile store and a folder to play in, all temporary.
struct Workspace {
    testing_support::TempDir dir;
    CMySettings settings{dir.File16("VarnelPro.Current.xml"), u"2.0.0"};
    CProfileStore store{dir.File16("Varnel Professional 2.ini")};

    std::u16string Folder(const std::string& name) const
    {
        std::filesystem::create_directories(dir.File(name));
        return dir.File16(name);
    }
    std::u16string File(const std::string& name, const std::string& bytes = "text\n") const
    {
        std::filesystem::create_directories(std::filesystem::path(dir.File(name)).parent_path());
        testing_support::WriteBytes(dir.File(name), bytes);
        return dir.File16(name);
    }
    std::u16string Path(const std::string& name) const { return dir.File16(name); }
};

}  // namespace dialog_test
