#include "pseudo_terminal.h"

#include <QDeadlineTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace vantiro::test {

// termios2 lives in a header that clashes with <termios.h>; see pseudo_terminal_termios.cpp.
std::optional<TerminalState> readTerminalState(int fd);
bool writeBaudRate(int fd, quint32 baud);

Pty::Pty()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

QByteArray Pty::read(int count, int timeoutMs)
{
    QByteArray received;
    const QDeadlineTimer deadline(timeoutMs);
    while (received.size() < count && !deadline.hasExpired()) {
        pollfd pfd { m_master, POLLIN, 0 };
        if (::poll(&pfd, 1, int(qMax<qint64>(1, deadline.remainingTime()))) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, qMin<qsizetype>(sizeof buffer, count - received.size()));
        if (n > 0)
            received.append(buffer, n);
    }
    return received;
}

QByteArray Pty::readUntilQuiet(int quietMs, int timeoutMs)
{
    QByteArray received;
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        pollfd pfd { m_master, POLLIN, 0 };
        if (::poll(&pfd, 1, quietMs) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, n);
    }
    return received;
}

void Pty::writeToProgram(const QByteArray &bytes)
{
    [[maybe_unused]] const ssize_t written = ::write(m_master, bytes.constData(), size_t(bytes.size()));
}

std::optional<TerminalState> Pty::terminalState() const
{
    return readTerminalState(m_master);
}

bool Pty::setBaudRate(quint32 baud)
{
    return writeBaudRate(m_slave, baud);
}

} // namespace vantiro::test
