#include "stop_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace vantiro::displays {

namespace {

constexpr int stopSignals[] = { SIGINT, SIGTERM, SIGHUP };

// A signal handler may do next to nothing: it wakes the event loop through a pipe.
int wakePipe[2] = { -1, -1 };

void onStopSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

void setHandler(void (*handler)(int))
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int stopSignal : stopSignals)
        ::sigaction(stopSignal, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    setHandler(onStopSignal);
    m_notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::wakeUp);
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    setHandler(SIG_DFL);
    delete m_notifier;
    ::close(wakePipe[0]);
    ::close(wakePipe[1]);
}

void StopSignals::wakeUp()
{
    char bytes[16];
    while (::read(wakePipe[0], bytes, sizeof bytes) > 0) { }
    emit stopRequested();
}

} // namespace vantiro::displays
