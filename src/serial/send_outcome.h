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
        OpenFailed, // the device is there but could not be opened (no hardware behind it, not a port)
        WriteFailed, // the port opened but the bytes did not all go out
        Cancelled, // the link was closed before the send could run
    };

    Status status = Status::NothingToSend;
    QString device; // the device the send went to
    int bytesWritten = 0;
    QString detail; // the system's own words, when there are any

    bool failed() const { return status != Status::Sent && status != Status::NothingToSend; }

    // "sent", "nothing to send" or "not sent: <reason>".
    QString text() const;
};

QString sendStatusReason(SendOutcome::Status status);

} // namespace vantiro

Q_DECLARE_METATYPE(vantiro::SendOutcome)
