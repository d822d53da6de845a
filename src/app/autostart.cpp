#include "app/autostart.h"

#include "app/app_folder.h"
#include "common/safe_save.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantiro {

Autostart::Autostart(QString programPath, QString configFolder)
    : m_programPath(std::move(programPath))
    , m_configFolder(std::move(configFolder))
{ }

Autostart Autostart::forThisProgram()
{
    return Autostart(QCoreApplication::applicationFilePath(),
                     QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

QString Autostart::entryPath() const
{
    return m_configFolder % u"/autostart/"_s % desktopId % u".desktop"_s;
}

void Autostart::removeLeftoverSaves() const
{
    vantiro::removeLeftoverSaves(QFileInfo(entryPath()).absolutePath());
}

bool Autostart::isEnabled() const
{
    QFile entry(entryPath());
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!entry.atEnd()) {
        const QByteArray line = entry.readLine().trimmed().toLower();
        if (line == "hidden=true" || line == "x-gnome-autostart-enabled=false")
            return false;
    }
    return true;
}

SaveResult Autostart::setEnabled(bool enabled) const
{
    const QString path = entryPath();
    if (!enabled) {
        QFile entry(path);
        if (!entry.exists() || entry.remove())
            return { true, {} };
        return { false, entry.errorString() };
    }

    if (!QDir().mkpath(QFileInfo(path).path()))
        return { false, u"The folder %1 could not be created."_s.arg(QFileInfo(path).path()) };
    return saveFile(path, entryText());
}

QByteArray Autostart::entryText() const
{
    return QString(u"[Desktop Entry]\n"
                   u"Type=Application\n"
                   u"Name=Vantiro\n"
                   u"Comment=Runs the display schedule from the start of the session\n"
                   u"Exec="_s
                   % desktopExecArgument(m_programPath)
                   % u"\n"
                     u"TryExec="_s
                   % desktopStringValue(m_programPath)
                   % u"\n"
                     u"Icon="_s
                   % desktopId
                   % u"\n"
                     u"Terminal=false\n"
                     u"X-GNOME-Autostart-enabled=true\n"_s)
        .toUtf8();
}

QString desktopStringValue(const QString &text)
{
    // The backslash first, so that the escapes added after it stay single.
    QString value = QString(text).replace(u'\\', u"\\\\"_s);
    return value.replace(u'\n', u"\\n"_s).replace(u'\t', u"\\t"_s).replace(u'\r', u"\\r"_s);
}

QString desktopExecArgument(const QString &path)
{
    static const QString reserved = u" \t\n\"'\\><~|&;$*?#()`"_s;
    QString argument = path;
    if (std::any_of(path.cbegin(), path.cend(), [](QChar c) { return reserved.contains(c); })) {
        QString quoted;
        for (const QChar c : path) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += u'\\';
            quoted += c;
        }
        argument = u'"' % quoted % u'"';
    }
    argument.replace(u'%', u"%%"_s);
    // The value is a desktop-entry string first, whose own escape character is the backslash.
    return argument.replace(u'\\', u"\\\\"_s);
}

} // namespace vantiro
