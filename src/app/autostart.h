#pragma once

#include "common/ini_file.h"

#include <QByteArray>
#include <QString>

namespace vantiro {

// The XDG autostart entry that starts the program when the user logs in to the desktop, so that a schedule
// runs without anyone starting it. The program then comes up as any start does: with schedule rows it runs
// the schedule hidden in the tray.
class Autostart
{
public:
    // configFolder is the user's configuration folder ($XDG_CONFIG_HOME); the entry goes to its autostart
    // folder and starts programPath.
    Autostart(QString programPath, QString configFolder);

    // This program, in the desktop's configuration folder.
    static Autostart forThisProgram();

    QString entryPath() const;
    // An entry that the desktop's own settings switched off (Hidden, or the autostart key set to false)
    // does not count.
    bool isEnabled() const;
    // Writes or removes the entry.
    SaveResult setEnabled(bool enabled) const;
    // Removes what a save of the entry that never finished left in its folder.
    void removeLeftoverSaves() const;

    QByteArray entryText() const;

private:
    QString m_programPath;
    QString m_configFolder;
};

// A text as the value of a desktop entry's string key (TryExec, which names the program so that the desktop
// skips an entry whose program is gone): backslashes, tabs and line ends escaped. Blanks stay as they are.
QString desktopStringValue(const QString &text);

// The program path as the Exec key of a desktop entry needs it: quoted when it holds a blank or another
// reserved character, with "%" doubled and the string's own escapes applied.
QString desktopExecArgument(const QString &path);

} // namespace vantiro
