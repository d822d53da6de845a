#pragma once

#include "common/ini_file.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace vantiro::displays {

// Points COM numbers at devices in the Ports.ini of an application folder, keeping the file's other
// entries, and later puts the file back exactly as it was, or removes it again if there was none.
class PortsFileOverride
{
public:
    explicit PortsFileOverride(const QString &applicationFolder);

    QString filePath() const { return m_filePath; }

    // Each COM number with its device.
    SaveResult install(const QList<std::pair<int, QString>> &devices);
    SaveResult restore();

private:
    QString m_filePath;
    std::optional<QByteArray> m_original; // nothing: there was no file
    bool m_installed = false;
};

} // namespace vantiro::displays
