#include "app/window/qt_handler_target.h"

#include "platform/message_registry.h"

CQtHandlerTarget::CQtHandlerTarget(QObject* parent, int coalesceMs) : QObject(parent), m_intervalMs(coalesceMs)
{
    m_noticeTimer.setSingleShot(true);
    connect(&m_noticeTimer, &QTimer::timeout, this, &CQtHandlerTarget::DeliverNotice);
}

CQtHandlerTarget::~CQtHandlerTarget() = default;

unsigned CQtHandlerTarget::ListNotifyMessage()
{
    static const unsigned message =
        platform::RegisterMessage(u"UM_VARNEXLISTCTRL_NOTIFY_5D60849D_4886_4421_8469_9BDFD63CED02");
    return message;
}

void CQtHandlerTarget::Post(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    if (message == ListNotifyMessage()) {
        // One queued event stands for every notice until it is delivered.
        if (!m_noticePending.exchange(true))
            QMetaObject::invokeMethod(this, &CQtHandlerTarget::DeliverNotice, Qt::QueuedConnection);
        return;
    }
    // Queued events die with this object, so a late post never reaches a
    // view that is gone.
    QMetaObject::invokeMethod(
        this, [this, message, wParam, lParam] { emit posted(message, wParam, lParam); }, Qt::QueuedConnection);
}

void CQtHandlerTarget::DeliverNotice()
{
    if (m_sinceNotice.isValid() && m_sinceNotice.elapsed() < m_intervalMs) {
        if (!m_noticeTimer.isActive())
            m_noticeTimer.start(static_cast<int>(m_intervalMs - m_sinceNotice.elapsed()));
        return;
    }
    m_noticeTimer.stop();
    m_sinceNotice.start();
    // Cleared first: a notice posted while the views redraw queues the next one.
    m_noticePending.store(false);
    emit posted(ListNotifyMessage(), 0, 0);
}
