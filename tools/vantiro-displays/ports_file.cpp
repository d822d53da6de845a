#include "ports_file.h"

#include "serial/port_map.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace vantiro::displays {

PortsFileOverride::PortsFileOverride(const QString &applicationFolder)
    : m_filePath(QDir(applicationFolder).filePath(PortMap::fileName()))
{ }

SaveResult PortsFileOverride::install(const QList<std::pair<int, QString>> &devices)
{
    QFile file(m_filePath);
    if (file.exists()) {
        // A file we cannot read is one we could not put back.
        if (!file.open(QIODevice::ReadOnly))
            return { false, u"cannot read "_s + m_filePath + u": "_s + file.errorString() };
        m_original = file.readAll();
    }

    IniFile ini = m_original ? IniFile::parse(*m_original) : IniFile();
    for (const auto &[comNumber, device] : devices)
        ini.setValue(PortMap::sectionName(), QString::number(comNumber), device);
    const SaveResult saved = ini.save(m_filePath);
    m_installed = saved.ok;
    return saved;
}

SaveResult PortsFileOverride::restore()
{
    if (!m_installed)
        return { true, {} };
    m_installed = false;

    if (!m_original) {
        if (QFile::remove(m_filePath) || !QFile::exists(m_filePath))
            return { true, {} };
        return { false, u"cannot remove "_s + m_filePath };
    }
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(*m_original) != m_original->size() || !file.commit())
        return { false, u"cannot put back "_s + m_filePath + u": "_s + file.errorString() };
    return { true, {} };
}

} // namespace vantiro::displays
