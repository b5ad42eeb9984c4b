#pragma once

// What the list view tests share: folders of real files in several
// encodings, waiting for the engine through the event loop, and answering
// the message boxes a command opens.
#include <functional>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "app/window/models/varnex_list_model.h"
#include "app/window/qt_text.h"
#include "codecs/codepage.h"
#include "support/temp_dir.h"

namespace list_tests {

// Generous: a loaded machine running Debug builds under sanitizers.
constexpr int kSessionTimeoutMs = 180000;

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kSessionTimeoutMs)
{
    return QTest::qWaitFor(done, timeoutMs);
}

inline std::string Encode(unsigned codepage, const std::u16string& text)
{
    std::string bytes;
    codecs::EncodeCodePage(codepage, text, bytes);
    return bytes;
}

const std::u16string kFrench =
    u"Le vieux gardien du phare comptait les navires chaque soir, très fidèlement, et notait leurs noms. "
    u"Quand le brouillard montait, il allumait la lampe à pétrole et écoutait la mer.\n";
const std::u16string kRussian =
    u"Старый смотритель маяка каждый вечер считал корабли, записывал их названия в толстую тетрадь.\n";

// Text files of several encodings, a binary, and a windows-1252 file with a
// single accented letter (too little for detection to be sure: a warning
// that accepting settles). Returns the count.
inline int WriteMixedFolder(const std::string& folder)
{
    using testing_support::WriteBytes;
    WriteBytes(folder + "/french-1252.txt", Encode(1252, kFrench));
    WriteBytes(folder + "/russian-koi8r.txt", Encode(20866, kRussian));
    WriteBytes(folder + "/russian, utf8.txt", Encode(65001, kRussian));
    WriteBytes(folder + "/utf16le.txt", "\xFF\xFE" + Encode(1200, kFrench));
    WriteBytes(folder + "/weak.txt", "Plain words fill this line and the next one. The only accent is in caf\xE9.\n");
    WriteBytes(folder + "/image.bin", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08", 26));
    return 6;
}

// Clicks the button of the next modal message box whose text is buttonText.
inline void AnswerNextMessageBox(const QString& buttonText)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, buttonText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton* button : box->buttons())
            if (button->text().remove(u'&') == buttonText) {
                timer->deleteLater();
                button->click();
                return;
            }
    });
    timer->start(10);
}

// The row whose input path ends with name; -1 when there is none.
inline int RowOf(const CVarnexListModel& model, const std::u16string& name)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        bool match = false;
        model.WithRecord(row, [&](CVarnexFileInfo& record) { match = record.FastGetInputFile().ends_with(name); });
        if (match)
            return row;
    }
    return -1;
}

inline QString Cell(const CVarnexListModel& model, int row, CVarnexListModel::Column column)
{
    const auto& columns = model.Columns();
    const int at = static_cast<int>(std::find(columns.begin(), columns.end(), column) - columns.begin());
    return model.data(model.index(row, at)).toString();
}

}  // namespace list_tests
