#include "app/window/varnex_view_session.h"

#include "app/window/qt_handler_target.h"

CVarnexViewSession::CVarnexViewSession(HandlerTarget* target) : CFilterableVarnex(target, nullptr), m_target(target)
{
    AllowFiltering(true);
}

CVarnexViewSession::~CVarnexViewSession()
{
    DisposeVarnex();
}

void CVarnexViewSession::NotifyList()
{
    if (m_target)
        m_target->Post(CQtHandlerTarget::ListNotifyMessage(), 0, 0);
}

void CVarnexViewSession::OnClearingFileList()
{
    ++m_listGeneration;
    CFilterableVarnex::OnClearingFileList();
    NotifyList();
}

void CVarnexViewSession::OnFileInfoAdding(CVarnexFileInfo* record)
{
    CFilterableVarnex::OnFileInfoAdding(record);
    NotifyList();
}

void CVarnexViewSession::OnFileStartProcessing(CVarnexFileInfo* record)
{
    CFilterableVarnex::OnFileStartProcessing(record);
    NotifyList();
}

void CVarnexViewSession::OnFileProcessed(CVarnexFileInfo* record)
{
    CFilterableVarnex::OnFileProcessed(record);
    NotifyList();
}

void CVarnexViewSession::OnPreparingFileRetry(CVarnexFileInfo* record)
{
    CFilterableVarnex::OnPreparingFileRetry(record);
    NotifyList();
}
