#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;
struct PreviewText;

// The text area of the previews: the start of a file read on a pool thread,
// or a note where there is no text to show, and a line when the file holds
// more than the limit let through.
class CTextPreviewView : public QWidget {
    Q_OBJECT

public:
    explicit CTextPreviewView(QWidget* parent = nullptr);
    ~CTextPreviewView() override;

    // Reads at most limitBytes of path in codepage (see LoadTextPreview);
    // unreadableNote is shown when the file cannot be read. A later Load or
    // ShowNote drops what an earlier read brings.
    void Load(const std::u16string& path, int codepage, unsigned limitBytes, const QString& unreadableNote);
    void ShowNote(const QString& note);

    bool IsLoading() const { return m_loading; }
    // The text shown, or the note when none is (tests).
    QString Content() const;

private:
    void OnLoaded(const PreviewText& preview, const QString& unreadableNote);

    QStackedWidget* m_pages = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_note = nullptr;
    QLabel* m_limitNote = nullptr;
    uint64_t m_ticket = 0;
    bool m_loading = false;
};
