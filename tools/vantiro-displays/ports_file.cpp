#include "ports_file.h"

#include "common/safe_save.h"
#include "serial/port_map.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

using namespace Qt::StringLiterals;

namespace vantiro::displays {

namespace {

// Whole or not at all: a file that could not be written whole is never there to be put back later.
SaveResult writeWhole(const QString &path, const QByteArray &contents)
{
    const SaveResult saved = saveFile(path, contents);
    if (!saved)
        return { false, u"cannot write "_s + path + u": "_s + saved.error };
    return saved;
}

// Nothing when the file cannot be read to its end.
std::optional<QByteArray> readWhole(const QString &path, QString &error)
{
    QString why;
    const std::optional<QByteArray> contents = vantiro::readWholeFile(path, why);
    if (!contents)
        error = u"cannot read "_s + path + u": "_s + why;
    return contents;
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
    if (m_lock.tryLock(0)) {
        removeLeftoverSaves(QFileInfo(m_filePath).absolutePath());
        return { true, {} };
    }
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
    std::optional<QByteArray> original;
    if (QFileInfo::exists(m_filePath)) {
        // A file we cannot read is one we could not put back.
        QString error;
        original = readWhole(m_filePath, error);
        if (!original)
            return { false, error };
    }

    // On disk before the file changes, so that a kill at any moment loses nothing.
    const SaveResult kept = original ? writeWhole(backupPath(), *original) : writeWhole(madeMarkerPath(), {});
    if (!kept)
        return kept;

    IniFile ini = original ? IniFile::parse(*original) : IniFile();
    for (const auto &[comNumber, device] : devices)
        ini.setValue(PortMap::sectionName(), QString::number(comNumber), device);
    const SaveResult saved = ini.save(m_filePath);
    if (!saved)
        return { false, u"cannot write "_s + m_filePath + u": "_s + saved.error };
    return saved;
}

SaveResult PortsFileOverride::restore()
{
    if (QFileInfo::exists(backupPath())) {
        QString error;
        const std::optional<QByteArray> backup = readWhole(backupPath(), error);
        if (!backup)
            return { false, error };
        // A change that never reached the file (a failed install) leaves nothing to write back.
        QString unread;
        if (readWhole(m_filePath, unread) != backup) {
            if (const SaveResult putBack = writeWhole(m_filePath, *backup); !putBack)
                return putBack;
        }
        return removeIfThere(backupPath());
    }
    if (QFileInfo::exists(madeMarkerPath())) {
        const SaveResult removed = removeIfThere(m_filePath);
        return removed ? removeIfThere(madeMarkerPath()) : removed;
    }
    return { true, {} };
}

} // namespace vantiro::displays
