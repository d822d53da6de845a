#pragma once

#include "pseudo_terminal.h"
#include "temp_app_folder.h"

#include <QList>

#include <map>
#include <memory>

namespace vantiro::test {

// Displays on pseudo-terminals, named in the Ports.ini of an application folder. COM numbers listed
// as missing name a device that does not exist. With an idle speed, each display's line starts at
// that speed, so a test can see the program's own settings while it holds the port open.
class PtyDisplays
{
public:
    PtyDisplays(const TempAppFolder &folder, const QList<int> &displayComs, const QList<int> &missingComs = {},
                quint32 idleSpeed = 0);

    // Every pty opened, at the idle speed if one was asked for.
    bool isValid() const;
    // Names one more device in Ports.ini, e.g. one that is there but is no port.
    void addDevice(int com, const QByteArray &device);
    Pty &display(int com) { return *m_displays.at(com); }
    const std::map<int, std::unique_ptr<Pty>> &all() const { return m_displays; }

    // Named for this process: the lock file a send leaves would make other test runs find it taken.
    static QByteArray missingDevice();
    // 1, 2, ... last.
    static QList<int> range(int first, int last);

private:
    const TempAppFolder &m_folder;
    QByteArray m_ini = "[COM_PORTS]\r\n";
    std::map<int, std::unique_ptr<Pty>> m_displays;
    bool m_speedsSet = true;
};

} // namespace vantiro::test
