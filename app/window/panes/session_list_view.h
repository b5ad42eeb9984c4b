#pragma once

#include <QString>
#include <string>
#include <vector>

#include "app/window/panes/varnex_list_view.h"
#include "textrion/encoding/text_encoding.h"
#include "varnex/session/session_records.h"

class CVarnexControlBar;

// The "Session View" tab: the progress panel above the list of the session's
// files. It owns the detection and conversion session of the main window.
class CSessionListView : public CVarnexListView {
    Q_OBJECT

public:
    explicit CSessionListView(QWidget* parent = nullptr);
    ~CSessionListView() override;

    // A new detection session over a folder; false, and nothing started, when
    // the folder does not exist or a session is not idle.
    bool StartDetection(const std::u16string& folder, bool recursive, bool hiddenFiles, const VARNEXJOBSETTING& job);
    // A new conversion session of the convert dialog's items; false, and
    // nothing started, when there are none or a session is not idle.
    bool StartConversion(const std::vector<VARNEXBATCHJOBITEM>& items, const VARNEXJOBSETTING& job);
    // The same items only detected ("Detect only" of the convert dialog).
    bool StartDetection(const std::vector<VARNEXBATCHJOBITEM>& items, const VARNEXJOBSETTING& job);

    void PauseOrContinue();
    void Continue();
    void Pause();
    // Asks "The session cannot be resumed..." and stops on yes; true when it stops.
    bool StopAsking();

    // A selected row is finished with a doubtful detection that can be accepted.
    bool CanAcceptSelected() const;
    // Retries the selected doubtful rows keeping their code page (confidence
    // then 1), continuing the session when it is idle.
    void AcceptSelected();
    // The correction dialog's choice for the focused row.
    void RetryFocusedWithCodepage(int codepage);

    void ExportList() { CVarnexListView::ExportList(); }
    // The session list as CSV without a dialog (see ExportListFile).
    static bool ExportList(CFilterableVarnex& session, const QString& path, TEXTENCODING encoding, QString* error);

    CVarnexControlBar* ControlBar() const { return m_bar; }
    QString TabTitle() const { return m_tabTitle; }
    QString TrayText() const { return m_trayText; }

signals:
    void tabTitleChanged(const QString& title);
    void trayTextChanged(const QString& text);
    void correctionRequested(const FileSelection& file);

protected:
    void OnSessionMessage(VARNEXMESSAGE message, intptr_t lParam) override;
    void OnListRefreshed() override;
    void FillContextMenu(QMenu& menu) override;

private:
    // Starts the session again as a continuation when retries wait and it is idle.
    void ContinueRetries();
    // Prepares the items and starts a new session; false and nothing
    // started when a session is not idle or the start fails.
    bool StartItems(const std::vector<VARNEXBATCHJOBITEM>& items, const VARNEXJOBSETTING& job, bool detectOnly);
    void UpdateTexts(const VARNEXSESSIONSUMMARY& summary);

    CVarnexControlBar* m_bar = nullptr;
    QString m_tabTitle;
    QString m_trayText;
    bool m_retriesWaiting = false;  // retried while the session ran
};
