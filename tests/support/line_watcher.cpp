#include "line_watcher.h"

#include <chrono>
#include <pthread.h>
#include <sched.h>

namespace vantiro::test {

LineWatcher::LineWatcher(const PtyDisplays &displays, quint32 idleSpeed)
    : m_displays(displays)
    , m_idleSpeed(idleSpeed)
    , m_thread([this] { run(); })
{
    // On a busy machine an ordinary thread can wait longer for a core than a port stays open, its very
    // first turn included. A real-time one runs as soon as it is due; where the system does not allow
    // it, the thread stays ordinary. Either way the watch has looked at every line once before the test
    // goes on, so it knows each line's idle state.
    const sched_param realTime { sched_get_priority_min(SCHED_FIFO) };
    pthread_setschedparam(m_thread.native_handle(), SCHED_FIFO, &realTime);
    m_watching.wait(false);
}

LineWatcher::~LineWatcher()
{
    m_stop = true;
    m_thread.join();
}

QSet<QString> LineWatcher::seen(int com) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_seen.find(com);
    return found == m_seen.end() ? QSet<QString>() : found->second;
}

void LineWatcher::run()
{
    while (!m_stop) {
        for (const auto &[com, pty] : m_displays.all()) {
            const std::optional<TerminalState> state = pty->terminalState();
            if (!state || state->baudRate == m_idleSpeed)
                continue;
            const QString line = QString::number(state->baudRate)
                + (state->rtsCts ? QStringLiteral(" RTS/CTS") : QString())
                + (state->xonXoff ? QStringLiteral(" XON/XOFF") : QString());
            std::lock_guard lock(m_mutex);
            m_seen[com].insert(line);
        }
        if (!m_watching.exchange(true))
            m_watching.notify_one();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

} // namespace vantiro::test
