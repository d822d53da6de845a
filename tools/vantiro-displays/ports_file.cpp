#include "ports_file.h"

#include "serial/port_map.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace vantiro::displays {

namespace {

SaveResult writeWhole(const QString &path, const QByteArray &contents)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit())
        return { false, u"cannot write "_s + path + u": "_s + file.errorString() };
    return { true, {} };
}

SaveResult removeIfThere(const QString &path)
{
    QFile file(path);
    if (!file.exists() || file.remove())
        return { true, {} };
    return { false, u"cannot remove "_s + path + u": "_s + file.errorString() };
}

} // namespace

PortsFileOverride::PortsFileOverride(const QString &applicationFolder)
    : m_filePath(QDir(applicationFolder).filePath(PortMap::fileName()))
    , m_lock(m_filePath + u".displays-lock"_s)
{ }

SaveResult PortsFileOverride::claim()
{
    if (m_lock.tryLock(0))
        return { true, {} };
    if (m_lock.error() == QLockFile::LockFailedError)
        return { false, u"another vantiro-displays uses "_s + m_filePath };
    return { false, u"cannot create the lock "_s + m_lock.fileName() };
}

bool PortsFileOverride::isLeftOver() const
{
    return QFileInfo::exists(backupPath()) || QFileInfo::exists(madeMarkerPath());
}

SaveResult PortsFileOverride::install(const QList<std::pair<int, QString>> &devices)
{
    QFile file(m_filePath);
    std::optional<QByteArray> original;
    if (file.exists()) {
        // A file we cannot read is one we could not put back.
        if (!file.open(QIODevice::ReadOnly))
            return { false, u"cannot read "_s + m_filePath + u": "_s + file.errorString() };
        original = file.readAll();
        file.close();
    }

    // On disk before the file changes, so that a kill at any moment loses nothing.
    const SaveResult kept = original ? writeWhole(backupPath(), *original) : writeWhole(madeMarkerPath(), {});
    if (!kept)
        return kept;

    IniFile ini = original ? IniFile::parse(*original) : IniFile();
    for (const auto &[comNumber, device] : devices)
        ini.setValue(PortMap::sectionName(), QString::number(comNumber), device);
    return ini.save(m_filePath);
}

SaveResult PortsFileOverride::restore()
{
    QFile backup(backupPath());
    if (backup.exists()) {
        if (!backup.open(QIODevice::ReadOnly))
            return { false, u"cannot read "_s + backupPath() + u": "_s + backup.errorString() };
        const SaveResult putBack = writeWhole(m_filePath, backup.readAll());
        backup.close();
        return putBack ? removeIfThere(backupPath()) : putBack;
    }
    if (QFileInfo::exists(madeMarkerPath())) {
        const SaveResult removed = removeIfThere(m_filePath);
        return removed ? removeIfThere(madeMarkerPath()) : removed;
    }
    return { true, {} };
}

} // namespace vantiro::displays
