#include "app/app_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

bool isInstalledCopy(const QString &programFolder)
{
    const QDir folder(programFolder);
    return folder.dirName() == u"bin"_s
        && QFileInfo::exists(folder.filePath(u"../share/applications/"_s % desktopId % u".desktop"_s));
}

// Permission bits say too little (a read-only mount, root's rights): only creating a file tells.
bool canCreateFilesIn(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(u".vantiro-write-test-XXXXXX"_s));
    return probe.open();
}

} // namespace

ApplicationFolderChoice chooseApplicationFolder(const QString &programFolder, const QString &userDataFolder)
{
    if (!isInstalledCopy(programFolder) && canCreateFilesIn(programFolder))
        return { QDir::cleanPath(programFolder), true, {} };

    ApplicationFolderChoice choice { QDir::cleanPath(userDataFolder), false, {} };
    if (!QDir().mkpath(choice.path))
        choice.error = u"The folder %1 could not be created."_s.arg(QDir::toNativeSeparators(choice.path));
    return choice;
}

ApplicationFolderChoice chooseApplicationFolder(const QString &programFolder)
{
    return chooseApplicationFolder(programFolder, userDataFolder());
}

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Vantiro"_s;
}

} // namespace vantiro
