#include "port_map.h"

#include "common/ini_file.h"

#include <QDir>
#include <QFileInfo>

namespace vantiro {

PortMap::PortMap(QString applicationFolder)
    : m_filePath(QDir(applicationFolder).filePath(fileName()))
{ }

QString PortMap::defaultDevicePath(int comNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(comNumber - 1);
#endif
}

QString PortMap::devicePath(int comNumber) const
{
    reloadIfChanged();
    return m_devices.value(comNumber, defaultDevicePath(comNumber));
}

void PortMap::reloadIfChanged() const
{
    const QFileInfo info(m_filePath);
    const std::optional<QDateTime> modified = info.exists() ? std::optional(info.lastModified()) : std::nullopt;
    const qint64 size = info.exists() ? info.size() : -1;
    if (modified == m_loadedModified && size == m_loadedSize)
        return;

    m_devices.clear();
    const IniFile ini = IniFile::load(m_filePath);
    for (const QString &key : ini.keys(sectionName())) {
        const auto comNumber = comNumberFromPortText(key);
        const QString device = ini.value(sectionName(), key, QString());
        if (comNumber && !device.isEmpty() && !m_devices.contains(*comNumber))
            m_devices.insert(*comNumber, device);
    }
    m_loadedModified = modified;
    m_loadedSize = size;
}

std::optional<int> comNumberFromPortText(const QString &portText)
{
    bool ok = false;
    const int number = portText.trimmed().toInt(&ok);
    if (!ok || number <= 0 || number > 32767)
        return std::nullopt;
    return number;
}

} // namespace vantiro
