#include "serial/port_map.h"
#include "serial/serial_transport.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace vantiro {

namespace {

QSerialPort::Parity toQt(Parity parity)
{
    switch (parity) {
    case Parity::None:
        return QSerialPort::NoParity;
    case Parity::Even:
        return QSerialPort::EvenParity;
    case Parity::Odd:
        return QSerialPort::OddParity;
    case Parity::Mark:
        return QSerialPort::MarkParity;
    case Parity::Space:
        return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(StopBits stopBits)
{
    switch (stopBits) {
    case StopBits::One:
        return QSerialPort::OneStop;
    case StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case StopBits::Two:
        return QSerialPort::TwoStop;
    }
    return QSerialPort::OneStop;
}

class SerialPortTransport final : public SerialTransport
{
public:
    SendOutcome::Status open(const PortConfig &config) override
    {
        m_error.clear();
        m_bytesWritten = 0;
        m_baudRate = config.settings.baudRate;
        m_sent = sentStatusFor(config.devicePath, config.settings);
        const PortSettings settings = settingsHeldBy(config.devicePath, config.settings);
        // A name that exists but is a file, a folder or a pipe is no port: it is not opened at all. A
        // missing one is reported when it is opened.
        if (deviceProblem(config.devicePath) == SendOutcome::Status::NotSerialDevice) {
            m_error = QStringLiteral("%1 is not a serial device").arg(config.devicePath);
            return SendOutcome::Status::NotSerialDevice;
        }
        m_port.setPortName(config.devicePath);
        const bool accepted = m_port.setBaudRate(settings.baudRate)
            && m_port.setDataBits(QSerialPort::DataBits(settings.dataBits)) && m_port.setParity(toQt(settings.parity))
            && m_port.setStopBits(toQt(settings.stopBits))
            && m_port.setFlowControl(config.handshaking == Handshaking::RtsXonXoff ? QSerialPort::HardwareControl
                                                                                   : QSerialPort::NoFlowControl);
        if (!accepted)
            return fail(SendOutcome::Status::SettingsRejected);

        // A display's XOFF only reaches the line discipline while the receiver is on; what the
        // display sends is read and dropped.
        m_readsBack = config.handshaking == Handshaking::RtsXonXoff;
        if (!m_port.open(m_readsBack ? QIODevice::ReadWrite : QIODevice::WriteOnly))
            return fail(openFailure(config.devicePath));

        if (config.handshaking == Handshaking::RtsXonXoff && !addSoftwareFlowControl()) {
            m_error = QStringLiteral("the port refused XON/XOFF flow control");
            m_port.close();
            return SendOutcome::Status::SettingsRejected;
        }
        return SendOutcome::Status::Sent;
    }

    bool write(char byte) override
    {
        if (m_port.write(&byte, 1) != 1) {
            m_error = m_port.errorString();
            return false;
        }
        // Hand each byte to the system as it is written, as the port control of old did.
        m_port.flush();
        ++m_bytesWritten;
        return true;
    }

    SendOutcome::Status drain() override
    {
        const SendOutcome::Status drained = drainOutput();
        return drained == SendOutcome::Status::Sent ? m_sent : drained;
    }

    void close() override
    {
        if (m_port.isOpen())
            m_port.close();
    }

    QString errorText() const override { return m_error; }

private:
    SendOutcome::Status fail(SendOutcome::Status status)
    {
        m_error = m_port.errorString();
        return status;
    }

    SendOutcome::Status openFailure(const QString &devicePath) const
    {
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            return SendOutcome::Status::NoSuchDevice;
        case QSerialPort::PermissionError:
            return permissionOrBusy(devicePath);
        case QSerialPort::UnsupportedOperationError:
            return SendOutcome::Status::SettingsRejected;
        default:
            return QFileInfo::exists(devicePath) ? SendOutcome::Status::OpenFailed : SendOutcome::Status::NoSuchDevice;
        }
    }

    void discardInput()
    {
        if (!m_readsBack)
            return;
        m_port.readAll();
#ifdef Q_OS_UNIX
        // Reading frees the line discipline's buffer, so a later XON is still taken in.
        char buffer[256];
        while (::read(int(m_port.handle()), buffer, sizeof buffer) > 0) { }
#endif
    }

    // QSerialPort reports a device held by someone else (its lock file, or TIOCEXCL) as a permission
    // error too; only a device we may not open is a real permission problem.
    static SendOutcome::Status permissionOrBusy(const QString &devicePath)
    {
        // Another program opening the same missing name holds its lock file for a moment.
        if (!QFileInfo::exists(devicePath))
            return SendOutcome::Status::NoSuchDevice;
#ifdef Q_OS_UNIX
        if (::access(QFile::encodeName(devicePath).constData(), R_OK | W_OK) != 0)
            return SendOutcome::Status::PermissionDenied;
        return SendOutcome::Status::Busy;
#else
        Q_UNUSED(devicePath);
        return SendOutcome::Status::Busy;
#endif
    }

    // QSerialPort offers hardware or software flow control, not both; add XON/XOFF on the handle.
    bool addSoftwareFlowControl()
    {
#ifdef Q_OS_UNIX
        termios tio {};
        const int fd = int(m_port.handle());
        if (::tcgetattr(fd, &tio) != 0)
            return false;
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cflag |= CRTSCTS;
        return ::tcsetattr(fd, TCSANOW, &tio) == 0;
#else
        return true;
#endif
    }

    // Qt's buffer into the system, the system's queue onto the line, then the transmitter itself.
    // The whole wait is bounded by twice the time the bytes take at the port's speed plus a second,
    // so a port that flow control holds back fails the send instead of holding the link for good:
    // what is left is dropped and the port can be closed.
    SendOutcome::Status drainOutput()
    {
        const qint64 lineTimeMs = lineTimeUs(m_bytesWritten, m_baudRate) / 1000;
        const QDeadlineTimer deadline(1000 + 2 * lineTimeMs);
        while (m_port.bytesToWrite() > 0 && !deadline.hasExpired()) {
            discardInput();
            if (!m_port.waitForBytesWritten(int(qMax<qint64>(1, qMin<qint64>(50, deadline.remainingTime()))))
                && m_port.error() != QSerialPort::TimeoutError) {
                m_error = m_port.errorString(); // the device went away
                return SendOutcome::Status::WriteFailed;
            }
        }
        discardInput();
        if (m_port.bytesToWrite() > 0) {
            m_port.clear(QSerialPort::Output);
            return heldBack();
        }
#ifdef Q_OS_UNIX
        if (!waitUntilLineEmpty(int(m_port.handle()), m_bytesWritten, m_baudRate, deadline, [this] { discardInput(); }))
            return heldBack();
#endif
        return SendOutcome::Status::Sent;
    }

    SendOutcome::Status heldBack()
    {
        m_error = QStringLiteral("bytes held back by flow control");
        return SendOutcome::Status::HeldByFlowControl;
    }

    QSerialPort m_port;
    QString m_error;
    qint64 m_bytesWritten = 0;
    qint32 m_baudRate = 9600;
    bool m_readsBack = false;
    SendOutcome::Status m_sent = SendOutcome::Status::Sent;
};

} // namespace

qint64 lineTimeUs(qint64 bytes, qint32 baudRate)
{
    return bytes * 11 * 1000000 / qMax(1, baudRate);
}

bool waitForEmptyQueue(const std::function<int()> &queued, const QDeadlineTimer &deadline)
{
    for (;;) {
        if (queued() <= 0)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::usleep(500);
    }
}

bool platformSupports(const PortSettings &settings)
{
#ifdef Q_OS_UNIX
    // termios knows one or two stop bits only.
    return settings.stopBits != StopBits::OneAndHalf;
#else
    Q_UNUSED(settings);
    return true;
#endif
}

bool isPseudoTerminal(const QString &devicePath)
{
#ifdef Q_OS_LINUX
    struct stat info = {};
    // The kernel's pseudo-terminal slaves have majors 136 to 143.
    return ::stat(QFile::encodeName(devicePath).constData(), &info) == 0 && S_ISCHR(info.st_mode)
        && major(info.st_rdev) >= 136 && major(info.st_rdev) <= 143;
#else
    Q_UNUSED(devicePath);
    return false;
#endif
}

namespace {

bool framingKept(const PortSettings &asked)
{
    return asked.dataBits != 8 || asked.parity != Parity::None;
}

} // namespace

// A pseudo-terminal refuses a change that is only of its framing, so asking for it would fail a send
// that no line would ever have framed; its stop bits it keeps.
PortSettings settingsHeldBy(const QString &devicePath, const PortSettings &asked)
{
    if (!framingKept(asked) || !isPseudoTerminal(devicePath))
        return asked;
    PortSettings held = asked;
    held.dataBits = 8;
    held.parity = Parity::None;
    return held;
}

SendOutcome::Status sentStatusFor(const QString &devicePath, const PortSettings &asked)
{
    return framingKept(asked) && isPseudoTerminal(devicePath) ? SendOutcome::Status::SentVirtualLineKept
                                                              : SendOutcome::Status::Sent;
}

std::unique_ptr<SerialTransport> makeSerialPortTransport()
{
    return std::make_unique<SerialPortTransport>();
}

} // namespace vantiro
