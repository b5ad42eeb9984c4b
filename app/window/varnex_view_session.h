#pragma once

#include <atomic>

#include "varnex/session/filterable_varnex.h"

// The session a list view owns. It tells the view's handler target of every
// added or changed record (the target folds them into a few redraws a
// second), and counts list resets so that the view's model never reads a row
// of a list that a new session has cleared.
class CVarnexViewSession : public CFilterableVarnex {
public:
    explicit CVarnexViewSession(HandlerTarget* target);
    // Stops and joins the session first: its threads call the hooks below.
    ~CVarnexViewSession() override;
    CVarnexViewSession(const CVarnexViewSession&) = delete;
    CVarnexViewSession& operator=(const CVarnexViewSession&) = delete;

    // Incremented whenever the file list is cleared (a new session).
    unsigned ListGeneration() const { return m_listGeneration.load(); }

protected:
    void OnClearingFileList() override;
    void OnFileInfoAdding(CVarnexFileInfo* record) override;
    void OnFileStartProcessing(CVarnexFileInfo* record) override;
    void OnFileProcessed(CVarnexFileInfo* record) override;
    void OnPreparingFileRetry(CVarnexFileInfo* record) override;

    void NotifyList();

private:
    HandlerTarget* m_target;
    std::atomic<unsigned> m_listGeneration{0};
};
