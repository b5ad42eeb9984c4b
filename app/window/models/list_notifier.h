#pragma once

#include "varnex/session/session_observer.h"

class HandlerTarget;

// Tells a list view's handler target of every record its session adds,
// clears or changes (the target folds them into a few redraws a second).
class CListNotifier : public SessionObserver {
public:
    explicit CListNotifier(HandlerTarget* target) : m_target(target) { }
    CListNotifier(const CListNotifier&) = delete;
    CListNotifier& operator=(const CListNotifier&) = delete;

    void OnClearingFileList() override { NotifyList(); }
    void OnFileInfoAdding(CVarnexFileInfo*) override { NotifyList(); }
    void OnFileStartProcessing(CVarnexFileInfo*) override { NotifyList(); }
    void OnFileProcessed(CVarnexFileInfo*) override { NotifyList(); }
    void OnPreparingFileRetry(CVarnexFileInfo*) override { NotifyList(); }

protected:
    void NotifyList();

private:
    HandlerTarget* m_target;
};
