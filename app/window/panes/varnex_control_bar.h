#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "varnex/session/session_records.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The progress panel above the session list: a title, the counters, a
// progress bar driven by the detailed progress, the "Pause"/"Continue" and
// "Stop" buttons and, when a session has ended, where its files were saved.
// It shows what it is told; the session view feeds it from the engine's
// messages and summary.
class CVarnexControlBar : public QWidget {
    Q_OBJECT

public:
    explicit CVarnexControlBar(QWidget* parent = nullptr);
    ~CVarnexControlBar() override;

    // Before any session: nothing to pause or stop.
    void ShowIdle();
    // Started or continued: "Initializing", "Please wait...", button "Pause".
    void ShowStarted();
    // While files are processed: the counters and the progress.
    void ShowRunning(const VARNEXSESSIONSUMMARY& summary);
    // "Paused (42%)", button "Continue".
    void ShowPaused(const VARNEXSESSIONSUMMARY& summary);
    // The end: finished or cancelled, the counters, and the output folders of
    // a conversion that wrote files (written: converted plus copied files).
    // unreadableFolders: folders the search could not list.
    void ShowStopped(const VARNEXSESSIONSUMMARY& summary, VARNEXSESSIONSTOPREASON reason,
                     const std::vector<std::u16string>& outputFolders, unsigned unreadableFolders);

    QString Title() const;
    QString Summary() const;
    QString Outputs() const;
    QPushButton* PauseButton() const { return m_pause; }
    QPushButton* StopButton() const { return m_stop; }

    // "Files Processed: %d of %d (%d%% Processed) Copied: ..." of a summary.
    static QString ProcessedText(const VARNEXSESSIONSUMMARY& summary);

signals:
    void pauseOrContinueClicked();
    void stopClicked();

private:
    void SetProgress(unsigned percent);

    QLabel* m_title = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_outputs = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_pause = nullptr;
    QPushButton* m_stop = nullptr;
};
