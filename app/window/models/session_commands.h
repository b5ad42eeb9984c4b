#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Runs a view's pause, continue and stop requests on a thread of its own, in
// the order given. The engine answers them only once every one of its threads
// has acknowledged (stop joins them all), which can take as long as the
// slowest read in progress; the UI thread must not wait for that. The engine
// tells the view the outcome by its messages; idle() follows each command so
// that the view can update what depends on Busy().
//
// The destructor runs what is still queued and joins the thread, so the
// session a command refers to must outlive this object.
class CSessionCommands : public QObject {
    Q_OBJECT

public:
    explicit CSessionCommands(QObject* parent = nullptr);
    ~CSessionCommands() override;

    void Run(std::function<void()> command);
    // A command is queued or running.
    bool Busy() const;

signals:
    // Emitted on the command thread after each command; connect queued.
    void idle();

private:
    void Loop();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_commands;
    bool m_running = false;  // a command is being run
    bool m_quit = false;
    std::thread m_thread;
};
