#include "app/command_line.h"

#include "running_copy/single_instance.h"

#include <QDir>

#include <optional>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

// Qt's options for a window, by the name after the dash (Qt takes one dash or two): those followed by a value,
// those that stand alone, and those given as name=value.
const QStringList &qtOptionsWithValue()
{
    static const QStringList names {
        u"platform"_s,        u"platformpluginpath"_s, u"platformtheme"_s, u"plugin"_s,
        u"qwindowgeometry"_s, u"qwindowicon"_s,        u"qwindowtitle"_s,  u"session"_s,
        u"display"_s,         u"geometry"_s,           u"style"_s,         u"stylesheet"_s
    };
    return names;
}
const QStringList &qtFlags()
{
    static const QStringList names { u"reverse"_s, u"widgetcount"_s, u"nograb"_s, u"dograb"_s, u"sync"_s };
    return names;
}
const QStringList &qtOptionsWithEquals()
{
    static const QStringList names { u"style"_s, u"stylesheet"_s, u"qmljsdebugger"_s, u"dialogs"_s, u"fontengine"_s };
    return names;
}

// The name of a Qt option without its dashes, or nothing.
std::optional<QString> qtOptionName(const QString &argument, bool *takesValue)
{
    if (!argument.startsWith(u'-'))
        return std::nullopt;
    const QString name = argument.mid(argument.startsWith(u"--"_s) ? 2 : 1);
    const qsizetype equals = name.indexOf(u'=');
    *takesValue = false;
    if (equals > 0) {
        if (qtOptionsWithEquals().contains(name.left(equals)))
            return name.left(equals);
        return std::nullopt;
    }
    if (qtFlags().contains(name))
        return name;
    if (qtOptionsWithValue().contains(name)) {
        *takesValue = true;
        return name;
    }
    return std::nullopt;
}

CommandLine refuse(const QString &why)
{
    return { CommandLine::Action::UsageError, {}, why };
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    bool background = false;
    bool help = false;
    bool version = false;
    std::optional<QString> folder;
    QString windowOption;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--help"_s || argument == u"-h"_s) {
            help = true;
        } else if (argument == u"--version"_s || argument == u"-v"_s) {
            version = true;
        } else if (argument == u"--background"_s) {
            background = true;
        } else if (argument == u"--app-folder"_s || argument.startsWith(u"--app-folder="_s)) {
            if (folder)
                return refuse(u"--app-folder is given twice"_s);
            const bool joined = argument.contains(u'=');
            if (!joined && i + 1 >= arguments.size())
                return refuse(u"--app-folder needs a folder"_s);
            folder = joined ? argument.mid(argument.indexOf(u'=') + 1) : arguments.at(++i);
            if (folder->isEmpty())
                return refuse(u"--app-folder needs a folder"_s);
        } else if (bool takesValue = false;
                   const std::optional<QString> qtOption = qtOptionName(argument, &takesValue)) {
            if (takesValue && ++i >= arguments.size())
                return refuse(argument + u" needs a value"_s);
            if (windowOption.isEmpty())
                windowOption = argument;
        } else if (argument.startsWith(u'-')) {
            return refuse(u"unknown option "_s + argument);
        } else {
            return refuse(u"unexpected argument \""_s + argument + u'"');
        }
    }
    if (help)
        return { CommandLine::Action::Help, {}, {} };
    if (version)
        return { CommandLine::Action::Version, {}, {} };
    if (background && !windowOption.isEmpty())
        return refuse(u"--background runs without a window, so "_s + windowOption + u" does not apply"_s);
    return { background ? CommandLine::Action::Background : CommandLine::Action::Window,
             folder.value_or(QString()),
             {} };
}

ApplicationFolderChoice applicationFolderFor(const CommandLine &line, const QString &programFolder)
{
    if (line.applicationFolder.isEmpty())
        return chooseApplicationFolder(programFolder);
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(line.applicationFolder));
    if (!QDir().mkpath(path))
        return { path, true, u"The folder %1 could not be created."_s.arg(QDir::toNativeSeparators(path)) };
    return { path, true, {} };
}

QString usageText()
{
    return uR"(Usage: vantiro [--app-folder DIR] [Qt window options]
       vantiro --background [--app-folder DIR]
       vantiro --help | --version

Vantiro switches and adjusts flat-panel displays over RS-232 serial lines, at once
or by a calendar schedule.

  --background       run the schedule of Settings.ini without a window (no display
                     server needed); status-log lines go to the daily log and to
                     standard error, and a changed Settings.ini is taken at once
  --app-folder DIR   keep the settings and the daily logs in DIR instead of the
                     usual folder (created when missing)
  -h, --help         show this text and exit
  -v, --version      show the version and exit

One copy runs per user: a window started again brings the running window forward;
a second --background says which copy runs and exits with status 0.
Qt's own options (-platform, -style, -session, ...) reach the window.
)"_s;
}

QString versionText()
{
    return u"Vantiro "_s + programVersion();
}

} // namespace vantiro
