#include "app/window/models/list_notifier.h"

#include "app/window/qt_handler_target.h"

void CListNotifier::NotifyList()
{
    if (m_target)
        m_target->Post(CQtHandlerTarget::ListNotifyMessage(), 0, 0);
}
