#include "running_copy/runtime_folder.h"

#include "running_copy/plain_client.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

#ifdef Q_OS_UNIX
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why the folder may not hold the lock and the socket; nothing when it may. `follow` is false where a symbolic
// link in its place would be someone's trick rather than the system's set-up.
std::optional<QString> unsafeReason(const QString &path, quint32 uid, bool follow)
{
    struct stat status;
    const QByteArray name = QFile::encodeName(path);
    if ((follow ? ::stat(name.constData(), &status) : ::lstat(name.constData(), &status)) != 0)
        return errno == ENOENT ? u"does not exist"_s : systemReason(errno);
    if (!S_ISDIR(status.st_mode))
        return S_ISLNK(status.st_mode) ? u"is a symbolic link"_s : u"is not a folder"_s;
    if (status.st_uid != uid)
        return u"belongs to user id %1"_s.arg(status.st_uid);
    if ((status.st_mode & 07777) != 0700)
        return u"has mode %1, not 0700"_s.arg(status.st_mode & 07777, 4, 8, QChar(u'0'));
    return std::nullopt;
}

// The home fallback: created when missing; one of the user's own with a wider mode is narrowed.
std::optional<QString> prepareHomeFolder(const QString &path, quint32 uid)
{
    const QString parent = QFileInfo(path).path();
    if (!QDir().mkpath(parent))
        return u"cannot be created (its folder \"%1\" cannot be made)"_s.arg(parent);
    struct stat status;
    if (::lstat(QFile::encodeName(parent).constData(), &status) == 0 && status.st_uid != uid)
        return u"cannot be used: its folder \"%1\" belongs to user id %2"_s.arg(parent).arg(status.st_uid);
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return u"cannot be created: "_s + systemReason(errno);
    if (::lstat(name.constData(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == uid
        && (status.st_mode & 07777) != 0700 && ::chmod(name.constData(), 0700) != 0)
        return u"cannot be made 0700: "_s + systemReason(errno);
    return unsafeReason(path, uid, false);
}

// The user's fixed folder: created 0700 when missing; it must be a folder of the user's (not a link to one).
std::optional<QString> prepareStateFolder(const QString &path, quint32 uid)
{
    const QString parent = QFileInfo(path).path();
    if (!QDir().mkpath(parent))
        return u"cannot be created (its folder \"%1\" cannot be made)"_s.arg(parent);
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return u"cannot be created: "_s + systemReason(errno);
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return systemReason(errno);
    if (!S_ISDIR(status.st_mode))
        return S_ISLNK(status.st_mode) ? u"is a symbolic link"_s : u"is not a folder"_s;
    if (status.st_uid != uid)
        return u"belongs to user id %1"_s.arg(status.st_uid);
    return std::nullopt;
}
#endif

// A machine name fit for a file name.
QString machineTag()
{
    QString name = QSysInfo::machineHostName();
    for (QChar &c : name) {
        if (!c.isLetterOrNumber() && c != u'-' && c != u'.')
            c = u'_';
    }
    return name.isEmpty() ? u"localhost"_s : name;
}

QString quoted(const QString &path)
{
    return u'"' + QDir::toNativeSeparators(path) + u'"';
}

// The runtime folder by the rule alone, without the user's fixed folder.
RuntimeFolder findRuntimeFolderOnly(const RuntimeFolderPlaces &places)
{
#ifdef Q_OS_UNIX
    QStringList tried;
    if (!places.xdgRuntimeDir || places.xdgRuntimeDir->isEmpty()) {
        tried.append(u"XDG_RUNTIME_DIR is not set"_s);
    } else {
        const std::optional<QString> problem = unsafeReason(*places.xdgRuntimeDir, places.uid, true);
        if (!problem)
            return { QDir::cleanPath(*places.xdgRuntimeDir), {}, {}, {} };
        tried.append(u"XDG_RUNTIME_DIR "_s + quoted(*places.xdgRuntimeDir) + u' ' + *problem);
    }
    const std::optional<QString> runUserProblem = unsafeReason(places.runUserFolder, places.uid, true);
    if (!runUserProblem)
        return { places.runUserFolder, {}, {}, {} };
    tried.append(quoted(places.runUserFolder) + u' ' + *runUserProblem);

    const QString home = homeRuntimeFolder(places.home);
    if (places.home.isEmpty()) {
        tried.append(u"user id %1 has no home folder"_s.arg(places.uid));
    } else if (const std::optional<QString> problem = prepareHomeFolder(home, places.uid)) {
        tried.append(quoted(home) + u' ' + *problem);
    } else {
        return { home, {}, {}, {} };
    }
    return { {}, u"Vantiro has no safe folder for its lock and socket: "_s + tried.join(u"; "_s) + u'.', {}, {} };
#else
    Q_UNUSED(places);
    const QString path = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (QDir().mkpath(path))
        return { path, {}, {}, {} };
    return { {}, u"Vantiro cannot create its runtime folder "_s + quoted(path) + u'.', {}, {} };
#endif
}

} // namespace

QString homeRuntimeFolder(const QString &home)
{
    return QDir(homeStateFolder(home)).filePath(QLatin1StringView(plain_client::runtimeFolderInState));
}

QString homeStateFolder(const QString &home)
{
    return QDir(home).filePath(QLatin1StringView(plain_client::stateFolderInHome));
}

QString userLockFilePath(const QString &stateFolder)
{
    return QDir(stateFolder).filePath(u"vantiro-"_s + machineTag() + u".lock"_s);
}

QString listeningRecordPath(const QString &stateFolder)
{
    return QDir(stateFolder).filePath(u"vantiro-"_s + machineTag() + u".listening"_s);
}

std::optional<QString> recordedListeningFolder(const QString &stateFolder)
{
    if (stateFolder.isEmpty())
        return std::nullopt;
    QFile record(listeningRecordPath(stateFolder));
    if (!record.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString folder = QString::fromUtf8(record.read(4096)).trimmed();
    if (folder.isEmpty())
        return std::nullopt;
#ifdef Q_OS_UNIX
    if (unsafeReason(folder, ::geteuid(), true))
        return std::nullopt;
#endif
    return folder;
}

QStringList runningCopyFolders(const RuntimeFolder &runtime)
{
    QStringList folders;
    if (const std::optional<QString> recorded = recordedListeningFolder(runtime.stateFolder))
        folders.append(*recorded);
    if (!runtime.path.isEmpty() && !folders.contains(runtime.path))
        folders.append(runtime.path);
    return folders;
}

RuntimeFolder findRuntimeFolder(const RuntimeFolderPlaces &places)
{
#ifdef Q_OS_UNIX
    RuntimeFolder found = findRuntimeFolderOnly(places);
    const QString state = places.stateFolder ? *places.stateFolder
        : places.home.isEmpty()              ? QString()
                                             : homeStateFolder(places.home);
    if (state.isEmpty()) {
        found.stateError = u"user id %1 has no home folder"_s.arg(places.uid);
    } else if (const std::optional<QString> problem = prepareStateFolder(state, places.uid)) {
        found.stateError = quoted(state) + u' ' + *problem;
    } else {
        found.stateFolder = QDir::cleanPath(state);
    }
    return found;
#else
    return findRuntimeFolderOnly(places);
#endif
}

RuntimeFolderPlaces runtimeFolderPlaces()
{
    RuntimeFolderPlaces places;
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        places.xdgRuntimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
#ifdef Q_OS_UNIX
    if (qEnvironmentVariableIsSet("VANTIRO_STATE_DIR"))
        places.stateFolder = qEnvironmentVariable("VANTIRO_STATE_DIR");
    places.uid = ::geteuid();
    places.runUserFolder = u"/run/user/%1"_s.arg(places.uid);
    if (const passwd *user = ::getpwuid(places.uid))
        places.home = QFile::decodeName(user->pw_dir);
#endif
    return places;
}

RuntimeFolder findRuntimeFolder()
{
    return findRuntimeFolder(runtimeFolderPlaces());
}

} // namespace vantiro
