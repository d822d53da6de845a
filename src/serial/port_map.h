#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

namespace vantiro {

// Maps COM numbers to serial devices. "Ports.ini" in the application folder may name a device for
// any COM number (section "COM_PORTS", key = COM number, value = device path), for USB adapters
// and stable /dev/serial/by-id names; without an entry COM n is /dev/ttyS{n-1} on Linux and COMn on
// Windows. The file is read again whenever it changes, so edits take effect without a restart.
class PortMap
{
public:
    explicit PortMap(QString applicationFolder);

    QString devicePath(int comNumber) const;

    static QString defaultDevicePath(int comNumber);
    static QString fileName() { return QStringLiteral("Ports.ini"); }
    static QString sectionName() { return QStringLiteral("COM_PORTS"); }

private:
    void reloadIfChanged() const;

    QString m_filePath;
    mutable QHash<int, QString> m_devices;
    mutable std::optional<QDateTime> m_loadedModified;
    mutable qint64 m_loadedSize = -1;
};

// The COM number a port text names: a positive whole number that fits the port control (1 to
// 32767). Anything else (0, negative, empty, not a number) names no port.
std::optional<int> comNumberFromPortText(const QString &portText);

} // namespace vantiro
