#pragma once

#include "app/app_folder.h"

#include <QString>
#include <QStringList>

namespace vantiro {

// What the program was asked to do, read from its arguments before any application object is made, since a
// window and the background copy need different ones.
struct CommandLine
{
    enum class Action { Window, Background, Help, Version, UsageError };

    Action action = Action::Window;
    // From --app-folder; empty when not given.
    QString applicationFolder;
    // Why the arguments were refused (UsageError).
    QString error;
};

// The arguments after the program's name. Qt's own window options (-platform, -style, -session from the session
// manager, ...) are accepted for the window and left for it; anything else unknown is refused.
CommandLine parseCommandLine(const QStringList &arguments);

// The folder --app-folder names (made absolute, and created when missing), or else the usual choice for a program
// in programFolder (see app_folder.h).
ApplicationFolderChoice applicationFolderFor(const CommandLine &line, const QString &programFolder);

QString usageText();
// "Vantiro 1.2.0.3".
QString versionText();

} // namespace vantiro
