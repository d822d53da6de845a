#include "send_outcome.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace vantiro {

QString sendStatusReason(SendOutcome::Status status)
{
    switch (status) {
    case SendOutcome::Status::Sent:
        return u"sent"_s;
    case SendOutcome::Status::NothingToSend:
        return u"nothing to send"_s;
    case SendOutcome::Status::NoSuchDevice:
        return u"no such device"_s;
    case SendOutcome::Status::PermissionDenied:
        return u"permission denied"_s;
    case SendOutcome::Status::Busy:
        return u"busy"_s;
    case SendOutcome::Status::SettingsRejected:
        return u"settings rejected"_s;
    case SendOutcome::Status::OpenFailed:
        return u"could not be opened"_s;
    case SendOutcome::Status::NotSerialDevice:
        return u"not a serial device"_s;
    case SendOutcome::Status::WriteFailed:
        return u"write failed"_s;
    case SendOutcome::Status::HeldByFlowControl:
        return u"held by flow control"_s;
    case SendOutcome::Status::NotAComNumber:
        return u"not a COM number"_s;
    case SendOutcome::Status::NoCommandForModel:
        return u"no command for this model"_s;
    case SendOutcome::Status::Cancelled:
        return u"cancelled"_s;
    case SendOutcome::Status::Unreachable:
        return u"unreachable"_s;
    case SendOutcome::Status::SentLineSettingsKept:
        return u"sent (line settings kept by the server)"_s;
    case SendOutcome::Status::MalformedAnswer:
        return u"the server's answer is malformed"_s;
    case SendOutcome::Status::SentVirtualLineKept:
        return u"sent (the virtual display keeps 8 data bits, no parity)"_s;
    }
    return {};
}

QString permissionHelp(const QString &devicePath)
{
#ifdef Q_OS_UNIX
    struct stat info = {};
    if (::stat(QFile::encodeName(devicePath).constData(), &info) == 0) {
        if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
            const passwd *owner = ::getpwuid(info.st_uid);
            const QString ownerName
                = owner ? QString::fromLocal8Bit(owner->pw_name) : u"user %1"_s.arg(qulonglong(info.st_uid));
            return u"%1 belongs to %2 and only its owner may open it"_s.arg(devicePath, ownerName);
        }
        if (const group *owner = ::getgrgid(info.st_gid))
            return u"%1: add the user to the group \"%2\" that owns the device, then log in again"_s.arg(
                devicePath, QString::fromLocal8Bit(owner->gr_name));
    }
#endif
    return u"%1: add the user to the group that owns the device, usually \"dialout\", then log in again"_s.arg(
        devicePath);
}

namespace {

// A missing device that the COM number names by default: the operator may have meant another one.
bool missingDefaultDevice(const SendOutcome &outcome)
{
    return outcome.status == SendOutcome::Status::NoSuchDevice && !outcome.deviceFromPortsFile
        && !outcome.device.isEmpty();
}

QString missingDeviceText(const QString &devices, bool fromPortsFile)
{
    if (fromPortsFile)
        return u"no such device ("_s % devices % u", from Ports.ini)"_s;
    return u"no such device ("_s % devices % u"; map COM numbers to devices in Ports.ini)"_s;
}

} // namespace

QString SendOutcome::reasonText() const
{
    switch (status) {
    case Status::NoSuchDevice:
        return device.isEmpty() ? sendStatusReason(status) : missingDeviceText(device, deviceFromPortsFile);
    case Status::PermissionDenied:
        return sendStatusReason(status) % u" ("_s % permissionHelp(device) % u')';
    case Status::Unreachable:
        return sendStatusReason(status) % u" ("_s % (detail.isEmpty() ? device : detail) % u')';
    case Status::NoCommandForModel:
    case Status::Cancelled: // by the operator, who is told so
        return detail.isEmpty() ? sendStatusReason(status) : detail;
    default:
        return sendStatusReason(status);
    }
}

bool sameReason(const SendOutcome &first, const SendOutcome &next)
{
    if (missingDefaultDevice(first) && missingDefaultDevice(next))
        return true;
    return first.status == next.status && first.reasonText() == next.reasonText();
}

QString reasonTextThrough(const SendOutcome &first, const SendOutcome &last)
{
    if (missingDefaultDevice(first) && missingDefaultDevice(last) && first.device != last.device)
        return missingDeviceText(first.device % u" to "_s % last.device, false);
    return first.reasonText();
}

QString SendOutcome::text() const
{
    if (!failed())
        return sendStatusReason(status);
    return u"not sent: "_s + reasonText();
}

} // namespace vantiro
