#pragma once

#include <QMetaType>
#include <QString>

namespace vantiro {

// What became of one send, so that callers can tell the user the truth.
struct SendOutcome
{
    enum class Status {
        Sent, // every byte reached the line
        NothingToSend, // the command held no bytes
        NoSuchDevice,
        PermissionDenied,
        Busy, // another program (or another link) holds the port
        SettingsRejected, // the device refused the line settings
        OpenFailed, // the device is there but could not be opened (no hardware behind it)
        NotSerialDevice, // the name is a file, a folder or another kind of device
        WriteFailed, // the port opened but the bytes did not all go out
        HeldByFlowControl, // the display (or a CTS line that stays low) held the bytes back too long
        NotAComNumber, // the port text names no COM port; nothing was opened
        NoCommandForModel, // the display's model has no command for what was asked
        Cancelled, // the link was closed before the send could run
        Unreachable, // a serial device server could not be reached, or its address is malformed
        SentLineSettingsKept, // sent over raw TCP: the server's own line settings were in force
        MalformedAnswer, // a serial device server answered with something no server should send
        SentVirtualLineKept, // sent to a pseudo-terminal, which keeps 8 data bits and no parity
    };

    Status status = Status::NothingToSend;
    QString device; // the device the send went to
    int bytesWritten = 0;
    QString detail; // the system's own words, when there are any
    bool deviceFromPortsFile = false; // Ports.ini named the device, rather than the COM number's default

    bool failed() const
    {
        return status != Status::Sent && status != Status::NothingToSend && status != Status::SentLineSettingsKept
            && status != Status::SentVirtualLineKept;
    }

    // "sent", "nothing to send", "sent (line settings kept by the server)" or "not sent: <reason>".
    QString text() const;
    // The reason in the operator's words, with what the operator needs to act on it: the device and
    // where its name came from ("no such device (/dev/ttyUSB0, from Ports.ini)"), how to get access to
    // a device the user may not open, a server's host and port and why it cannot be reached
    // ("unreachable (host:4001: connection refused)").
    QString reasonText() const;
};

QString sendStatusReason(SendOutcome::Status status);

// What keeps the user from opening a device, and what would let them: the device's group to join
// (read from the device) and a new log-in, or its owner when only the owner may open it.
// "/dev/ttyS0 belongs to root and only its owner may open it".
QString permissionHelp(const QString &devicePath);

// Whether two neighbouring COM ports that were not reached are told with one reason: the same
// words, or default devices that are both missing, which are then named as a range.
bool sameReason(const SendOutcome &first, const SendOutcome &next);
// That reason for the ports from `first` to `last`: "no such device (/dev/ttyS4 to /dev/ttyS39; ...)".
QString reasonTextThrough(const SendOutcome &first, const SendOutcome &last);

} // namespace vantiro

Q_DECLARE_METATYPE(vantiro::SendOutcome)
