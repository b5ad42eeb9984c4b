#include "app/window/models/list_export.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>

#include <QFileDialog>

#include "app/locale/tr.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "app/window/qt_text.h"
#include "app/window/window_format.h"
#include "textrion/csv/csv_value_formatter.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/io/text_file_writer.h"
#include "varnex/session/filterable_varnex.h"

namespace {

constexpr unsigned kCellPiece = 2048;
constexpr unsigned kWriteBuffer = 1u << 16;

// Appends one row in CSV form; the formatter works in pieces of kCellPiece units.
void AppendRow(std::u16string& text, const std::vector<std::u16string>& cells, bool first)
{
    if (!first)
        text.append(u"\r\n");
    std::array<char16_t, kCellPiece> piece{};
    CCSVValueFormatter formatter;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            text.push_back(u',');
        formatter.Prepare(cells[i].data(), static_cast<unsigned>(cells[i].size()));
        while (const unsigned n = formatter.Format(piece.data(), kCellPiece))
            text.append(piece.data(), n);
    }
}

// The whole file's text: reading the records under the list's lock and
// writing afterwards keeps the engine's threads from waiting on the disk.
std::u16string ListText(CFilterableVarnex& session, const std::vector<CVarnexListModel::Column>& columns)
{
    std::u16string text;
    std::vector<std::u16string> cells;
    for (CVarnexListModel::Column column : columns)
        cells.push_back(U16(CVarnexListModel::ColumnTitle(column)));
    AppendRow(text, cells, true);
    CLockableVector<CVarnexFileInfo*>& list = session.GetFilteredFileList();
    CSingleLock listLock(list.GetCriticalSection());
    for (CVarnexFileInfo* record : list) {
        cells.clear();
        CSingleLock recordLock(record->GetCriticalSection());
        for (CVarnexListModel::Column column : columns)
            cells.push_back(U16(CVarnexListModel::CellText(*record, column)));
        AppendRow(text, cells, false);
    }
    return text;
}

QString SystemError(int error)
{
    return error != 0 ? QString::fromLocal8Bit(strerror(error)) : Qs(Tr("ListExport", "the file could not be written"));
}

}  // namespace

bool ExportListFile(CFilterableVarnex& session, const std::vector<CVarnexListModel::Column>& columns,
                    const QString& path, TEXTENCODING encoding, QString* error)
{
    const auto fail = [&](int code) {
        if (error)
            *error = FillFormat(Qs(Tr("ListExport", "The list could not be saved as \"%s\": %s")),
                                QStringList{path, SystemError(code)});
        return false;
    };
    if (encoding != TEXTENCODING_UTF8 && encoding != TEXTENCODING_UTF16LE && encoding != TEXTENCODING_UTF16BE)
        return fail(EINVAL);
    const std::u16string text = ListText(session, columns);
    try {
        CAtomicOutputFile file(U16(path));
        int created = 0;
        const int handle = file.Create(&created);
        if (handle < 0)
            return fail(created);
        CTextFileWriter writer(handle, file.GetTemporaryPath().c_str(), encoding, true, kWriteBuffer);
        if (!writer.IsOpen())
            return fail(writer.GetLastError());
        // Paths are the names on disk, byte for byte, also where they are not UTF-8.
        writer.SetFileNameBytes(true);
        writer.SetLineEnding(LineEnding::Keep);
        const unsigned written = writer.Write(text);
        // A high surrogate ending the text waits for a partner that never comes.
        if (written < text.size() && !writer.HasWriteError())
            writer.Write(u'\uFFFD');
        const bool closed = writer.Close();
        if (!closed || writer.HasWriteError())
            return fail(writer.GetLastError());
        int commitError = 0;
        if (!file.Commit(&commitError))
            return fail(commitError);
    } catch (const std::exception&) {
        return fail(0);
    }
    return true;
}

void ExportListWithDialog(QWidget* parent, CFilterableVarnex& session,
                          const std::vector<CVarnexListModel::Column>& columns)
{
    const QString utf8 = Qs(Tr("ListExport", "CSV (UTF-8)")) + QStringLiteral(" (*.csv)");
    const QString utf16le = Qs(Tr("ListExport", "CSV (UTF-16 LE)")) + QStringLiteral(" (*.csv)");
    const QString utf16be = Qs(Tr("ListExport", "CSV (UTF-16 BE)")) + QStringLiteral(" (*.csv)");
    QFileDialog dialog(parent, Qs(Tr("ListExport", "Export list")));
    dialog.setObjectName(QStringLiteral("ExportListDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters({utf8, utf16le, utf16be});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString filter = dialog.selectedNameFilter();
    const TEXTENCODING encoding = filter == utf16le   ? TEXTENCODING_UTF16LE
                                  : filter == utf16be ? TEXTENCODING_UTF16BE
                                                      : TEXTENCODING_UTF8;
    QString error;
    if (!ExportListFile(session, columns, dialog.selectedFiles().front(), encoding, &error))
        ShowDialogPrompt(parent, QMessageBox::Warning, error);
}
