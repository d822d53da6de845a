#include "serial/port_map.h"
#include "serial/serial_transport.h"

#ifdef Q_OS_UNIX

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
// The kernel's own terminal structure, for speeds without a B constant. Only the layout matters;
// <asm/termbits.h> cannot be included beside <termios.h>.
struct termios2
{
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
#ifndef BOTHER
#define BOTHER 0010000
#endif
#endif

namespace vantiro {

namespace {

speed_t standardSpeed(qint32 baudRate)
{
    switch (baudRate) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
#ifdef B460800
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    case 1152000:
        return B1152000;
    case 1500000:
        return B1500000;
    case 2000000:
        return B2000000;
    case 2500000:
        return B2500000;
    case 3000000:
        return B3000000;
    case 3500000:
        return B3500000;
    case 4000000:
        return B4000000;
#endif
    default:
        return B0;
    }
}

tcflag_t dataBitsFlag(int dataBits)
{
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

// A raw line with the program's settings; the receiver stays on so a display's XOFF is heard.
termios lineFor(termios tio, const PortConfig &config)
{
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
#ifdef CMSPAR
    tio.c_cflag &= ~tcflag_t(CMSPAR);
#endif
    tio.c_cflag |= CLOCAL | CREAD | dataBitsFlag(config.settings.dataBits);
    switch (config.settings.parity) {
    case Parity::None:
        break;
    case Parity::Even:
        tio.c_cflag |= PARENB;
        break;
    case Parity::Odd:
        tio.c_cflag |= PARENB | PARODD;
        break;
#ifdef CMSPAR
    case Parity::Mark:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case Parity::Space:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
#else
    case Parity::Mark:
    case Parity::Space:
        break;
#endif
    }
    if (config.settings.stopBits == StopBits::Two)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    if (config.handshaking == Handshaking::RtsXonXoff) {
        tio.c_cflag |= CRTSCTS;
        tio.c_iflag |= IXON | IXOFF;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tio;
}

// A process that still runs holds the serial lock file it wrote: the lock of programs that do not
// take flock(), whose exclusive mode a root user would pass through. The file is only read. Its name
// is the device's path below /dev with "/" as "_" ("LCK..pts_3"), for the name given or the device
// it leads to.
bool lockFileHeld(const QString &devicePath)
{
    const auto lockName = [](QString path) -> QString {
        if (path.startsWith(u"/dev/"))
            path.remove(0, 5);
        return QStringLiteral("/var/lock/LCK..") + path.replace(u'/', u'_');
    };
    QStringList names { lockName(devicePath) };
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    if (!target.isEmpty() && target != devicePath)
        names.append(lockName(target));
    for (const QString &name : std::as_const(names)) {
        QFile lock(name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        // The process number comes first, alone on its line or as the whole text.
        const qint64 pid = lock.readLine(64).trimmed().toLongLong(&ok);
        if (ok && pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
            return true;
    }
    return false;
}

// What a USB adapter's transmit buffer may still hold once the system's queue is empty.
constexpr qint64 transmitterBytes = 64;

bool isPseudoTerminal(int fd)
{
#ifdef Q_OS_LINUX
    struct stat info = {};
    // The kernel's pseudo-terminal slaves have majors 136 to 143.
    return ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && major(info.st_rdev) >= 136 && major(info.st_rdev) <= 143;
#else
    Q_UNUSED(fd);
    return false;
#endif
}

class TermiosTransport final : public SerialTransport
{
public:
    ~TermiosTransport() override { close(); }

    SendOutcome::Status open(const PortConfig &config) override
    {
        close();
        m_error.clear();
        m_pending.clear();
        m_bytesWritten = 0;
        m_baudRate = config.settings.baudRate;
        m_readsBack = config.handshaking == Handshaking::RtsXonXoff;
        m_sent = sentStatusFor(config.devicePath, config.settings);
        if (const auto problem = deviceProblem(config.devicePath)) {
            m_error = *problem == SendOutcome::Status::NotSerialDevice
                ? QStringLiteral("%1 is not a serial device").arg(config.devicePath)
                : QString::fromLocal8Bit(std::strerror(ENOENT));
            return *problem;
        }
        if (lockFileHeld(config.devicePath))
            return busy(QStringLiteral("the port's lock file is held by another program"));

        const QByteArray path = QFile::encodeName(config.devicePath);
        const int mode = m_readsBack ? O_RDWR : O_WRONLY;
        const int fd = ::open(path.constData(), mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return systemFailure(openFailure(errno, config.devicePath));
        m_fd = fd;
        // Exclusive use: the kernel's (which root passes) and the advisory lock other tools take.
        if (::ioctl(m_fd, TIOCEXCL) != 0 && errno != ENOTTY) {
            const int error = errno;
            closeDescriptor();
            errno = error;
            return systemFailure(SendOutcome::Status::OpenFailed);
        }
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            closeDescriptor();
            return busy(QStringLiteral("the port is locked by another program"));
        }
        if (::tcgetattr(m_fd, &m_saved) != 0) {
            const int error = errno;
            closeDescriptor();
            errno = error;
            return systemFailure(error == ENOTTY ? SendOutcome::Status::NotSerialDevice
                                                 : SendOutcome::Status::OpenFailed);
        }
#ifdef Q_OS_LINUX
        // The kernel's own form keeps a speed without a constant, so it is put back as it was.
        m_restore = ::ioctl(m_fd, TCGETS2, &m_savedExact) == 0 ? Restore::Exact : Restore::Plain;
#else
        m_restore = Restore::Plain;
#endif
        PortConfig held = config;
        held.settings = settingsHeldBy(config.devicePath, config.settings);
        if (!applyLine(lineFor(m_saved, held), config.settings.baudRate)) {
            close();
            return SendOutcome::Status::SettingsRejected;
        }
        return SendOutcome::Status::Sent;
    }

    bool write(char byte) override
    {
        // The command is handed to the system in one piece when it is drained: the line carries the
        // bytes back to back either way, and every write to a terminal wakes the kernel's worker
        // that moves the bytes on, which on a busy machine costs the sending thread its turn.
        ++m_bytesWritten;
        m_pending.append(byte);
        return true;
    }

    SendOutcome::Status drain() override
    {
        const QDeadlineTimer deadline(1000 + 2 * lineTimeUs(m_bytesWritten, m_baudRate) / 1000);
        const auto discard = [this] {
            discardInput();
        };
        if (!writePending(deadline)) {
            if (!m_error.isEmpty())
                return SendOutcome::Status::WriteFailed;
            ::tcflush(m_fd, TCOFLUSH);
            return heldBack();
        }
        if (!waitUntilLineEmpty(m_fd, m_bytesWritten, m_baudRate, deadline, discard))
            return heldBack();
        return m_sent;
    }

    void close() override
    {
        if (m_fd < 0)
            return;
#ifdef Q_OS_LINUX
        if (m_restore == Restore::Exact)
            ::ioctl(m_fd, TCSETS2, &m_savedExact);
#endif
        if (m_restore == Restore::Plain)
            ::tcsetattr(m_fd, TCSANOW, &m_saved);
        m_restore = Restore::Nothing;
        closeDescriptor();
    }

    QString errorText() const override
    {
        return m_error;
    }

private:
    bool applyLine(termios tio, qint32 baudRate)
    {
        const speed_t speed = standardSpeed(baudRate);
        if (speed != B0) {
            ::cfsetispeed(&tio, speed);
            ::cfsetospeed(&tio, speed);
            if (::tcsetattr(m_fd, TCSANOW, &tio) != 0)
                return rejected();
            // tcsetattr succeeds when any part was taken; the speed is what a display cannot do without.
            termios now {};
            if (::tcgetattr(m_fd, &now) != 0 || ::cfgetospeed(&now) != speed)
                return rejected(QStringLiteral("the port refused %1 baud").arg(baudRate));
            return true;
        }
#ifdef Q_OS_LINUX
        termios2 custom {};
        if (::ioctl(m_fd, TCGETS2, &custom) != 0)
            return rejected();
        custom.c_iflag = tio.c_iflag;
        custom.c_oflag = tio.c_oflag;
        custom.c_cflag = (tio.c_cflag & ~tcflag_t(CBAUD)) | BOTHER;
        custom.c_lflag = tio.c_lflag;
        std::memcpy(custom.c_cc, tio.c_cc, sizeof custom.c_cc);
        custom.c_ispeed = speed_t(baudRate);
        custom.c_ospeed = speed_t(baudRate);
        if (::ioctl(m_fd, TCSETS2, &custom) != 0)
            return rejected();
        termios2 now {};
        if (::ioctl(m_fd, TCGETS2, &now) != 0 || now.c_ospeed != speed_t(baudRate))
            return rejected(QStringLiteral("the port refused %1 baud").arg(baudRate));
        return true;
#else
        return rejected(QStringLiteral("the port has no %1 baud").arg(baudRate));
#endif
    }

    bool rejected(const QString &why = {})
    {
        m_error = why.isEmpty() ? QString::fromLocal8Bit(std::strerror(errno)) : why;
        return false;
    }

    // Hands the command to the system as fast as the display lets it through.
    bool writePending(const QDeadlineTimer &deadline)
    {
        qsizetype done = 0;
        while (done < m_pending.size()) {
            const ssize_t written = ::write(m_fd, m_pending.constData() + done, size_t(m_pending.size() - done));
            if (written > 0) {
                done += written;
                continue;
            }
            if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                m_error = QString::fromLocal8Bit(std::strerror(errno)); // the device went away
                return false;
            }
            if (deadline.hasExpired())
                return false;
            discardInput();
            pollfd writable { m_fd, POLLOUT, 0 };
            ::poll(&writable, 1, int(qBound(qint64(1), deadline.remainingTime(), qint64(50))));
        }
        m_pending.clear();
        return true;
    }

    void discardInput()
    {
        if (!m_readsBack)
            return;
        // Reading frees the line discipline's buffer, so a later XON is still taken in.
        char buffer[256];
        while (::read(m_fd, buffer, sizeof buffer) > 0) { }
    }

    SendOutcome::Status heldBack()
    {
        m_error = QStringLiteral("bytes held back by flow control");
        return SendOutcome::Status::HeldByFlowControl;
    }

    SendOutcome::Status busy(const QString &why)
    {
        m_error = why;
        return SendOutcome::Status::Busy;
    }

    SendOutcome::Status systemFailure(SendOutcome::Status status)
    {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return status;
    }

    static SendOutcome::Status openFailure(int error, const QString &devicePath)
    {
        switch (error) {
        case ENOENT:
            return SendOutcome::Status::NoSuchDevice;
        case EACCES:
        case EPERM:
            return SendOutcome::Status::PermissionDenied;
        case EBUSY:
            return SendOutcome::Status::Busy;
        default:
            return QFileInfo::exists(devicePath) ? SendOutcome::Status::OpenFailed : SendOutcome::Status::NoSuchDevice;
        }
    }

    void closeDescriptor()
    {
        ::close(m_fd); // also ends the flock and the exclusive mode
        m_fd = -1;
    }

    int m_fd = -1;
    enum class Restore { Nothing, Plain, Exact };
    termios m_saved {};
#ifdef Q_OS_LINUX
    termios2 m_savedExact {};
#endif
    Restore m_restore = Restore::Nothing;
    bool m_readsBack = false;
    QByteArray m_pending;
    QString m_error;
    qint64 m_bytesWritten = 0;
    qint32 m_baudRate = 9600;
    SendOutcome::Status m_sent = SendOutcome::Status::Sent;
};

} // namespace

bool waitUntilLineEmpty(int fd, qint64 bytesWritten, qint32 baudRate, const QDeadlineTimer &deadline,
                        const std::function<void()> &discardInput)
{
    const auto systemQueue = [&] {
        discardInput();
        int queued = 0;
        return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
    };
    if (!waitForEmptyQueue(systemQueue, deadline)) {
        ::tcflush(fd, TCOFLUSH);
        return false;
    }
    // The last bytes sit in the transmitter. A UART tells when it is empty; other devices (USB
    // adapters) cannot, so they are given the time their last bytes take on the line. A pseudo-
    // terminal has no line at all.
    int lineStatus = 0;
    if (::ioctl(fd, TIOCSERGETLSR, &lineStatus) == 0) {
        const auto transmitter = [fd] {
            int status = 0;
            return ::ioctl(fd, TIOCSERGETLSR, &status) == 0 && !(status & TIOCSER_TEMT) ? 1 : 0;
        };
        if (!waitForEmptyQueue(transmitter, deadline)) {
            ::tcflush(fd, TCOFLUSH);
            return false;
        }
        return true;
    }
    if (isPseudoTerminal(fd))
        return true;
    const qint64 allowanceUs = lineTimeUs(qMin<qint64>(bytesWritten, transmitterBytes), baudRate);
    QThread::usleep(quint64(qMin<qint64>(allowanceUs, deadline.remainingTime() * 1000)));
    return true;
}

std::unique_ptr<SerialTransport> makeTermiosTransport()
{
    return std::make_unique<TermiosTransport>();
}

} // namespace vantiro

#endif
