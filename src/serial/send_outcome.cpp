#include "send_outcome.h"

namespace vantiro {

QString sendStatusReason(SendOutcome::Status status)
{
    switch (status) {
    case SendOutcome::Status::Sent:
        return QStringLiteral("sent");
    case SendOutcome::Status::NothingToSend:
        return QStringLiteral("nothing to send");
    case SendOutcome::Status::NoSuchDevice:
        return QStringLiteral("no such device");
    case SendOutcome::Status::PermissionDenied:
        return QStringLiteral("permission denied");
    case SendOutcome::Status::Busy:
        return QStringLiteral("busy");
    case SendOutcome::Status::SettingsRejected:
        return QStringLiteral("settings rejected");
    case SendOutcome::Status::OpenFailed:
        return QStringLiteral("could not be opened");
    case SendOutcome::Status::WriteFailed:
        return QStringLiteral("write failed");
    case SendOutcome::Status::Cancelled:
        return QStringLiteral("cancelled");
    }
    return {};
}

QString SendOutcome::text() const
{
    if (!failed())
        return sendStatusReason(status);
    return QStringLiteral("not sent: ") + sendStatusReason(status);
}

} // namespace vantiro
