#include "running_copy/termination_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vantiro {

#ifdef Q_OS_UNIX
namespace {

int signalPipe[2] = { -1, -1 };
struct sigaction previousTerm
{
};
struct sigaction previousInt
{
};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char number = char(signalNumber);
    // A full pipe already holds a signal the loop has yet to read; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &number, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, &previousTerm) != 0 || ::sigaction(SIGINT, &action, &previousInt) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

TerminationSignals::~TerminationSignals()
{
    if (m_notifier) {
        ::sigaction(SIGTERM, &previousTerm, nullptr);
        ::sigaction(SIGINT, &previousInt, nullptr);
    }
    for (int &end : signalPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void TerminationSignals::readPipe()
{
    char number = 0;
    while (::read(signalPipe[0], &number, 1) == 1)
        emit received(int(number));
}

const char *terminationSignalName(int signalNumber)
{
    return signalNumber == SIGTERM ? "SIGTERM" : signalNumber == SIGINT ? "SIGINT" : "a signal";
}
#else
TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{ }

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::readPipe() { }

const char *terminationSignalName(int)
{
    return "a signal";
}
#endif

} // namespace vantiro
