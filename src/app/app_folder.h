#pragma once

#include <QString>

namespace vantiro {

// The name under which the desktop knows the program: its menu entry, its icon and its autostart entry.
inline constexpr QStringView desktopId = u"org.vantiro.Vantiro";

struct ApplicationFolderChoice
{
    QString path;
    // True when the files live beside the program (a copy that carries its files with it).
    bool portable = false;
    // Why the per-user folder could not be created; the path is still the one to use.
    QString error;
};

// Where the program keeps its INI files and its daily logs. A copy whose folder can be written keeps its
// files beside it. An installed copy (its folder is <prefix>/bin beside <prefix>/share/applications with the
// program's menu entry) and a copy whose folder cannot be written use the per-user data folder, created
// when missing. An installed copy never writes into the system's folders, also when started by root.
ApplicationFolderChoice chooseApplicationFolder(const QString &programFolder, const QString &userDataFolder);

// chooseApplicationFolder with the desktop's per-user data folder.
ApplicationFolderChoice chooseApplicationFolder(const QString &programFolder);

// $XDG_DATA_HOME/Vantiro, by default ~/.local/share/Vantiro.
QString userDataFolder();

} // namespace vantiro
