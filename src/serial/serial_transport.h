#pragma once

#include "serial/line_settings.h"
#include "serial/send_outcome.h"

#include <QDeadlineTimer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vantiro {

// Everything a send needs to know about its port, fixed when the send is requested.
struct PortConfig
{
    QString devicePath;
    PortSettings settings;
    Handshaking handshaking = Handshaking::None;
    bool fromPortsFile = false; // Ports.ini named the device; it is not the COM number's default
};

// The wire under a serial link: one port opened for one send, written byte by byte and closed.
class SerialTransport
{
public:
    virtual ~SerialTransport() = default;

    // Sent when the port is open with the configuration in force, otherwise why not.
    virtual SendOutcome::Status open(const PortConfig &config) = 0;
    virtual bool write(char byte) = 0;
    // Waits until every written byte has left the machine. Bounded, so that a port held back by flow
    // control fails the send ("held by flow control") instead of stopping the link for good; what is
    // held back is dropped.
    virtual SendOutcome::Status drain() = 0;
    // Whether a drained send still has to be ended with finish(): a connection to a serial device
    // server stays up until the server's line has had time for the bytes, and is then closed
    // cleanly. The link may finish it while it opens the next port.
    virtual bool finishesLater() const { return false; }
    // Ends such a send: Sent, or why it failed after all.
    virtual SendOutcome::Status finish() { return SendOutcome::Status::Sent; }
    // Closes the port if it is open.
    virtual void close() = 0;
    // The system's words for the last failure.
    virtual QString errorText() const = 0;
    // The host of a serial device server that gave no connection within the bound on the last open:
    // the link does not wait for it again in the same run.
    virtual std::optional<QString> unansweredHost() const { return std::nullopt; }
};

// Polls `queued` (the bytes the system still holds for the line) until it reports none or the
// deadline passes, and says whether the queue emptied. A queue that cannot be read (negative) counts
// as empty. Never blocks past the deadline, whatever the device does.
bool waitForEmptyQueue(const std::function<int()> &queued, const QDeadlineTimer &deadline);

// The time `bytes` take on the line: ten bits and a margin per byte.
qint64 lineTimeUs(qint64 bytes, qint32 baudRate);

#ifdef Q_OS_UNIX
// Waits, within the deadline, until what was written to the open terminal `fd` has left the
// machine: the system's queue, then the transmitter. Bytes still held at the deadline are dropped
// and false returned. `discardInput` runs while waiting, so a display's XON is still heard.
bool waitUntilLineEmpty(int fd, qint64 bytesWritten, qint32 baudRate, const QDeadlineTimer &deadline,
                        const std::function<void()> &discardInput);
#endif

// Whether a serial port on this platform can be set to these line settings at all.
bool platformSupports(const PortSettings &settings);

// Whether the device is a pseudo-terminal (the virtual displays are): it carries no line, and keeps
// 8 data bits and no parity whatever it is asked.
bool isPseudoTerminal(const QString &devicePath);
// The settings a port on the device is given: those asked, except what a pseudo-terminal cannot hold.
PortSettings settingsHeldBy(const QString &devicePath, const PortSettings &asked);
// What a send that reached the device tells: Sent, or that a pseudo-terminal kept its own framing.
SendOutcome::Status sentStatusFor(const QString &devicePath, const PortSettings &asked);

// The real transports. QSerialPort works on every platform; on Unix the termios one is used.
std::unique_ptr<SerialTransport> makeSerialPortTransport();
#ifdef Q_OS_UNIX
std::unique_ptr<SerialTransport> makeTermiosTransport();
#endif

// The transport that serves a port: the platform's own for a device path.
std::unique_ptr<SerialTransport> makeTransportFor(const PortConfig &config);

} // namespace vantiro
