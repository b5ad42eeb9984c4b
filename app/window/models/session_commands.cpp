#include "app/window/models/session_commands.h"

CSessionCommands::CSessionCommands(QObject* parent) : QObject(parent)
{
}

CSessionCommands::~CSessionCommands()
{
    // Whoever listens may be going too; the commands still queued run unheard.
    disconnect(this, &CSessionCommands::idle, nullptr, nullptr);
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CSessionCommands::Run(std::function<void()> command)
{
    {
        std::lock_guard lock(m_mutex);
        m_commands.push_back(std::move(command));
        if (!m_thread.joinable())
            m_thread = std::thread([this] { Loop(); });
    }
    m_changed.notify_all();
}

bool CSessionCommands::Busy() const
{
    std::lock_guard lock(m_mutex);
    return m_running || !m_commands.empty();
}

void CSessionCommands::Loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_quit || !m_commands.empty(); });
        if (m_commands.empty())
            return;  // quitting with nothing left
        std::function<void()> command = std::move(m_commands.front());
        m_commands.pop_front();
        m_running = true;
        lock.unlock();
        command();
        lock.lock();
        m_running = false;
        lock.unlock();
        emit idle();
        lock.lock();
    }
}
