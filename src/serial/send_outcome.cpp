#include "send_outcome.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <grp.h>
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
    }
    return {};
}

QString permissionHelp(const QString &devicePath)
{
#ifdef Q_OS_UNIX
    struct stat info = {};
    if (::stat(QFile::encodeName(devicePath).constData(), &info) == 0) {
        if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
            return u"only its owner may open the device"_s;
        if (const group *owner = ::getgrgid(info.st_gid))
            return u"add the user to the group \"%1\" that owns the device, then log in again"_s.arg(
                QString::fromLocal8Bit(owner->gr_name));
    }
#else
    Q_UNUSED(devicePath);
#endif
    return u"add the user to the group that owns the device, usually \"dialout\", then log in again"_s;
}

QString SendOutcome::reasonText() const
{
    if (status == Status::PermissionDenied)
        return sendStatusReason(status) % u" ("_s % permissionHelp(device) % u')';
    if (status == Status::Unreachable)
        return sendStatusReason(status) % u" ("_s % (detail.isEmpty() ? device : detail) % u')';
    return sendStatusReason(status);
}

QString SendOutcome::text() const
{
    if (!failed())
        return sendStatusReason(status);
    return u"not sent: "_s + reasonText();
}

} // namespace vantiro
