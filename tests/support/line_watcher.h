#pragma once

#include "pty_displays.h"

#include <QSet>
#include <QString>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

namespace vantiro::test {

// Watches the displays' lines from a thread of its own while it lives, and keeps every setting that
// a display's line showed other than its idle speed ("9600", "9600 RTS/CTS XON/XOFF"). A port is
// held open for little more than 20 ms, too short for a timer of a busy test's event loop to catch, and
// on a busy machine too short for an ordinary thread as well: the watcher runs at real-time priority
// where the system allows it (root, or a real-time limit of the user's), and is watching once built.
class LineWatcher
{
public:
    LineWatcher(const PtyDisplays &displays, quint32 idleSpeed);
    ~LineWatcher();
    LineWatcher(const LineWatcher &) = delete;
    LineWatcher &operator=(const LineWatcher &) = delete;

    QSet<QString> seen(int com) const;

private:
    void run();

    const PtyDisplays &m_displays;
    quint32 m_idleSpeed;
    std::atomic_bool m_stop = false;
    std::atomic_bool m_watching = false; // set after the first look at every line
    mutable std::mutex m_mutex;
    std::map<int, QSet<QString>> m_seen;
    std::thread m_thread;
};

} // namespace vantiro::test
