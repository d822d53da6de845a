#include "pty_display.h"

#include "line_state.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vantiro::displays {

PtyDisplay::PtyDisplay(int comNumber, QObject *parent)
    : QObject(parent)
    , m_comNumber(comNumber)
    , m_decoder(comNumber)
{
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(quietTimeMs);
    connect(&m_quietTimer, &QTimer::timeout, this, &PtyDisplay::lineQuiet);
}

PtyDisplay::~PtyDisplay()
{
    if (m_reader.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakePipe[1], &stop, 1);
        m_reader.join(); // before the descriptors it reads go
    }
    for (const int fd : m_wakePipe) {
        if (fd >= 0)
            ::close(fd);
    }
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyDisplay::open()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        return fail(u"cannot create a pseudo-terminal"_s);
    m_devicePath = QString::fromLocal8Bit(name);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (!prepareLine())
        return false;
    if (::pipe2(m_wakePipe, O_CLOEXEC) != 0)
        return fail(u"cannot create a pipe"_s);
    m_reader = std::thread([this] { watchLine(); });
    // Vantiro writes 20 ms after it sets the speed and puts the old one back right after its last byte:
    // on a busy machine an ordinary thread may not run at all in between. A real-time one runs as soon
    // as the line wakes it, where the system allows it (root, or a real-time limit of the user's).
    const sched_param realTime { sched_get_priority_min(SCHED_FIFO) };
    pthread_setschedparam(m_reader.native_handle(), SCHED_FIFO, &realTime);
    return true;
}

bool PtyDisplay::fail(const QString &what, int error)
{
    m_error = m_decoder.portName() + u": "_s + what + u": "_s
        + QString::fromLocal8Bit(std::strerror(error));
    return false;
}

// Raw bytes at 9600 while no port is open. Vantiro closes its port, and so puts these settings back,
// as soon as its last byte is written, often before we read that byte; packet mode with EXTPROC wakes
// the master at every change of the settings, so we learn each speed before the bytes sent at it.
bool PtyDisplay::prepareLine()
{
    termios tio {};
    if (::tcgetattr(m_slave, &tio) != 0)
        return fail(u"cannot read the line settings"_s);
    ::cfmakeraw(&tio);
    tio.c_lflag |= EXTPROC;
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&tio, B9600);
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return fail(u"cannot set the line settings"_s);

    int on = 1;
    if (::ioctl(m_master, TIOCPKT, &on) != 0)
        return fail(u"cannot watch the line settings"_s);
    if (::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0)
        return fail(u"cannot read the line without blocking"_s);
    refreshBaudRate();
    m_idleBaudRate = m_baudRate;
    return true;
}

void PtyDisplay::watchLine()
{
    for (;;) {
        pollfd watched[2] = { { m_master, POLLIN, 0 }, { m_wakePipe[0], POLLIN, 0 } };
        if (::poll(watched, 2, -1) < 0 && errno != EINTR)
            break;
        if (watched[1].revents != 0 || !readMaster())
            return;
    }
}

// In packet mode each read returns either one status byte, or a zero byte followed by data. False
// once the line cannot be read any more; the display's thread hears why.
bool PtyDisplay::readMaster()
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (count <= 0) {
            const int error = count == 0 ? EIO : errno;
            QMetaObject::invokeMethod(
                this,
                [this, error] {
                    fail(u"reading the line failed"_s, error);
                    emit failed(m_error);
                },
                Qt::QueuedConnection);
            return false;
        }
        if (buffer[0] == TIOCPKT_DATA)
            bytesRead(QByteArrayView(buffer + 1, count - 1));
        else
            lineSettingsChanged();
    }
}

void PtyDisplay::lineSettingsChanged()
{
    if (m_keepBaudRate)
        return; // the queued bytes are older than this change too
    // The kernel reports a change ahead of the bytes still queued. A port that closes puts the idle
    // settings back right after its last byte, so queued bytes then keep the speed before the change;
    // a port that opens and writes at once has sent them at its new speed.
    const auto state = readLineState(m_master);
    if (state && state->baudRate == m_idleBaudRate && bytesQueued() > 0) {
        m_keepBaudRate = true;
        return;
    }
    refreshBaudRate();
}

void PtyDisplay::bytesRead(QByteArrayView bytes)
{
    if (!m_keepBaudRate && !m_reportsChanges)
        refreshBaudRate();
    QMetaObject::invokeMethod(
        this, [this, bytes = bytes.toByteArray(), baudRate = m_baudRate] { decode(bytes, baudRate); },
        Qt::QueuedConnection);
    if (m_keepBaudRate && bytesQueued() == 0) {
        m_keepBaudRate = false;
        refreshBaudRate();
    }
}

void PtyDisplay::decode(const QByteArray &bytes, quint32 baudRate)
{
    report(m_decoder.receive(bytes, baudRate));
    if (m_decoder.hasPendingBytes())
        m_quietTimer.start();
    else
        m_quietTimer.stop();
}

void PtyDisplay::lineQuiet()
{
    report(m_decoder.lineQuiet());
}

void PtyDisplay::report(const QStringList &lines)
{
    for (const QString &line : lines)
        emit commandReceived(line);
}

void PtyDisplay::refreshBaudRate()
{
    const auto state = readLineState(m_master);
    if (!state)
        return;
    m_baudRate = state->baudRate;
    m_reportsChanges = state->reportsChanges;
}

int PtyDisplay::bytesQueued() const
{
    int count = 0;
    if (::ioctl(m_master, FIONREAD, &count) != 0)
        return 0;
    return count;
}

} // namespace vantiro::displays
