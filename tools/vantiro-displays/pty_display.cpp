#include "pty_display.h"

#include "line_state.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
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
    delete m_notifier; // before its descriptor goes
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
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyDisplay::readMaster);
    return true;
}

bool PtyDisplay::fail(const QString &what, int error)
{
    m_error = u"COM"_s + QString::number(m_comNumber) + u": "_s + what + u": "_s
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

// In packet mode each read returns either one status byte, or a zero byte followed by data.
void PtyDisplay::readMaster()
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (count <= 0) {
            m_notifier->setEnabled(false);
            fail(u"reading the line failed"_s, count == 0 ? EIO : errno);
            emit failed(m_error);
            return;
        }
        if (buffer[0] == TIOCPKT_DATA)
            bytesArrived(QByteArrayView(buffer + 1, count - 1));
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

void PtyDisplay::bytesArrived(QByteArrayView bytes)
{
    if (!m_keepBaudRate && !m_reportsChanges)
        refreshBaudRate();
    report(m_decoder.receive(bytes, m_baudRate));
    if (m_keepBaudRate && bytesQueued() == 0) {
        m_keepBaudRate = false;
        refreshBaudRate();
    }
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
