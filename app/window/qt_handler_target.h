#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>

#include "base/handler_target.h"

// Where a session posts to a view: Post may come from any engine thread, never
// blocks, and reaches the UI thread as the signal posted(). The engine's
// session messages (started, paused, continued, stopped, list changed) go out
// at once, in order. The per-file notice (ListNotifyMessage) arrives for every
// record that changes, thousands a second; it is folded into one signal at
// most every interval, so the UI thread redraws a few times a second however
// many files the session processes.
class CQtHandlerTarget : public QObject, public HandlerTarget {
    Q_OBJECT

public:
    explicit CQtHandlerTarget(QObject* parent = nullptr, int coalesceMs = 100);
    ~CQtHandlerTarget() override;

    void Post(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    // The notice a view's session posts when records were added or changed.
    static unsigned ListNotifyMessage();

signals:
    void posted(unsigned message, quintptr wParam, qintptr lParam);

private:
    void DeliverNotice();

    const int m_intervalMs;
    std::atomic<bool> m_noticePending{false};
    QElapsedTimer m_sinceNotice;
    QTimer m_noticeTimer;
};
