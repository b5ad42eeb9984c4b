#include "controls/message_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

CMessageBar::CMessageBar(QWidget* parent) : QFrame(parent), m_text(new QLabel(this)), m_close(new QToolButton(this))
{
    setFrameShape(QFrame::StyledPanel);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_close->setText(QStringLiteral("\u00D7"));
    m_close->setAutoRaise(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_close);
    connect(m_close, &QToolButton::clicked, this, &QWidget::hide);
    hide();
}

CMessageBar::~CMessageBar() = default;

void CMessageBar::ShowMessage(const QString& text, Kind kind)
{
    static const char* const kColours[] = {"#e8f0fe", "#fff4e5", "#fdecea"};
    setStyleSheet(QStringLiteral("CMessageBar { background: %1; }").arg(QLatin1String(kColours[kind])));
    m_text->setText(text);
    show();
}
