#include "app/window/panes/varnex_control_bar.h"

#include <algorithm>

#include <QBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

#include "app/locale/tr.h"
#include "app/window/qt_text.h"
#include "app/window/window_format.h"

namespace {

long long N(uint32_t value)
{
    return static_cast<long long>(value);
}

}  // namespace

CVarnexControlBar::CVarnexControlBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ControlBar"));
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("ControlBarTitle"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    m_title->setFont(titleFont);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("ControlBarSummary"));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setWordWrap(true);
    m_outputs = new QLabel(this);
    m_outputs->setObjectName(QStringLiteral("ControlBarOutputs"));
    m_outputs->setTextFormat(Qt::RichText);
    m_outputs->setOpenExternalLinks(true);
    m_outputs->setWordWrap(true);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setTextVisible(true);
    m_pause = new QPushButton(Qs(Tr("ControlBar", "Pause")), this);
    m_pause->setObjectName(QStringLiteral("PauseButton"));
    m_stop = new QPushButton(Qs(Tr("ControlBar", "Stop")), this);
    m_stop->setObjectName(QStringLiteral("StopButton"));
    // The same width for both captions, so the button does not jump.
    const int buttonWidth = std::max({m_pause->sizeHint().width(), m_stop->sizeHint().width(),
                                      QPushButton(Qs(Tr("ControlBar", "Continue"))).sizeHint().width()});
    m_pause->setMinimumWidth(buttonWidth);
    m_stop->setMinimumWidth(buttonWidth);

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_title);
    texts->addWidget(m_summary);
    texts->addWidget(m_progress);
    texts->addWidget(m_outputs);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_pause);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(12);
    layout->addLayout(texts, 1);
    layout->addLayout(buttons);

    connect(m_pause, &QPushButton::clicked, this, &CVarnexControlBar::pauseOrContinueClicked);
    connect(m_stop, &QPushButton::clicked, this, &CVarnexControlBar::stopClicked);
    ShowIdle();
}

CVarnexControlBar::~CVarnexControlBar() = default;

QString CVarnexControlBar::Title() const
{
    return m_title->text();
}

QString CVarnexControlBar::Summary() const
{
    return m_summary->text();
}

QString CVarnexControlBar::Outputs() const
{
    return m_outputs->text();
}

void CVarnexControlBar::SetProgress(unsigned percent)
{
    m_progress->setValue(static_cast<int>(std::min(percent, 100u)));
}

QString CVarnexControlBar::ProcessedText(const VARNEXSESSIONSUMMARY& s)
{
    return FillFormat(Qs(Tr("ControlBar", "Files Processed: %d of %d (%d%% Processed) Copied: %d Converted: %d "
                                          "Warnings: %d Errors: %d")),
                      {N(s.processedFiles), N(s.totalFiles), N(s.progress), N(s.copiedFiles), N(s.convertedFiles),
                       N(s.warningFiles), N(s.errorFiles)});
}

void CVarnexControlBar::ShowIdle()
{
    m_title->setText(Qs(Tr("ControlBar", "Idle")));
    m_summary->clear();
    m_outputs->clear();
    m_outputs->hide();
    SetProgress(0);
    m_pause->setText(Qs(Tr("ControlBar", "Pause")));
    m_pause->setEnabled(false);
    m_stop->setEnabled(false);
}

void CVarnexControlBar::ShowStarted()
{
    m_title->setText(Qs(Tr("ControlBar", "Initializing")));
    m_summary->setText(Qs(Tr("ControlBar", "Please wait...")));
    m_outputs->clear();
    m_outputs->hide();
    m_pause->setText(Qs(Tr("ControlBar", "Pause")));
    m_pause->setEnabled(true);
    m_stop->setEnabled(true);
}

void CVarnexControlBar::ShowRunning(const VARNEXSESSIONSUMMARY& s)
{
    const bool conversion = s.sessionType == VARNEXSESSIONTYPE_CONVERSION;
    const QString title = conversion ? Qs(Tr("ControlBar", "Converting: %d%% (%d of %d)"))
                                     : Qs(Tr("ControlBar", "Detecting: %d%% (%d of %d)"));
    m_title->setText(FillFormat(title, {N(s.progressDetailed), N(s.processedFiles), N(s.totalFiles)}));
    if (conversion)
        m_summary->setText(ProcessedText(s));
    else
        m_summary->setText(FillFormat(
            Qs(Tr("ControlBar", "Files Found: %d Remaining: %d Copied: %d Converted: %d Warnings: %d Errors: %d")),
            {N(s.totalFiles), N(s.totalFiles - std::min(s.processedFiles, s.totalFiles)), N(s.copiedFiles),
             N(s.convertedFiles), N(s.warningFiles), N(s.errorFiles)}));
    SetProgress(s.progressDetailed);
}

void CVarnexControlBar::ShowPaused(const VARNEXSESSIONSUMMARY& s)
{
    m_title->setText(FillFormat(Qs(Tr("ControlBar", "Paused (%d%%)")), {N(s.progress)}));
    SetProgress(s.progressDetailed);
    m_pause->setText(Qs(Tr("ControlBar", "Continue")));
    m_pause->setEnabled(true);
    m_stop->setEnabled(true);
}

void CVarnexControlBar::ShowStopped(const VARNEXSESSIONSUMMARY& s, VARNEXSESSIONSTOPREASON reason,
                                    const std::vector<std::u16string>& outputFolders, unsigned unreadableFolders)
{
    const bool conversion = s.sessionType == VARNEXSESSIONTYPE_CONVERSION;
    const bool cancelled = reason == VARNEXSESSIONSTOPREASON_USER;
    if (conversion)
        m_title->setText(cancelled ? Qs(Tr("ControlBar", "Conversion Cancelled"))
                                   : Qs(Tr("ControlBar", "Conversion Finished")));
    else
        m_title->setText(cancelled ? Qs(Tr("ControlBar", "Detection Cancelled"))
                                   : Qs(Tr("ControlBar", "Detection Finished")));
    QString summary = ProcessedText(s);
    if (unreadableFolders > 0)
        // The search skipped them: without this line their files would go unmentioned.
        summary += u'\n' + FillFormat(Qs(Tr("ControlBar", "Folders that could not be read: %d")),
                                      {static_cast<long long>(unreadableFolders)});
    m_summary->setText(summary);
    SetProgress(s.progressDetailed);

    const uint32_t written = s.convertedFiles + s.copiedFiles;
    if (conversion) {
        QString text;
        if (written > 0 && !outputFolders.empty()) {
            text = FillFormat(Qs(Tr("ControlBar", "%d file(s) saved in:")), {N(written)}).toHtmlEscaped();
            for (const std::u16string& folder : outputFolders) {
                const QString path = Qs(folder);
                text += QStringLiteral("<br><a href=\"%1\">%2</a>")
                            .arg(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                 path.toHtmlEscaped());
            }
        } else {
            text = Qs(Tr("ControlBar", "No file was converted or copied.")).toHtmlEscaped();
        }
        m_outputs->setText(text);
        m_outputs->show();
    } else {
        m_outputs->clear();
        m_outputs->hide();
    }
    m_pause->setText(Qs(Tr("ControlBar", "Pause")));
    m_pause->setEnabled(false);
    m_stop->setEnabled(false);
}
