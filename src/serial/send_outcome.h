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
    };

    Status status = Status::NothingToSend;
    QString device; // the device the send went to
    int bytesWritten = 0;
    QString detail; // the system's own words, when there are any

    bool failed() const
    {
        return status != Status::Sent && status != Status::NothingToSend && status != Status::SentLineSettingsKept;
    }

    // "sent", "nothing to send", "sent (line settings kept by the server)" or "not sent: <reason>".
    QString text() const;
    // The reason in the operator's words; for a device the user may not open, how to get access; for
    // a server that cannot be reached, its host and port and why ("unreachable (host:4001: connection
    // refused)").
    QString reasonText() const;
};

QString sendStatusReason(SendOutcome::Status status);

// What to do about a device the user may not open: join the group that owns it (read from the
// device) and log in again, or nothing to join when the group may not use it either.
QString permissionHelp(const QString &devicePath);

} // namespace vantiro

Q_DECLARE_METATYPE(vantiro::SendOutcome)
