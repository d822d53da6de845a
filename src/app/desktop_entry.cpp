#include "app/desktop_entry.h"

#include "app/app_folder.h"

#include <QGuiApplication>
#include <QWindow>

namespace vantiro {

void tieWindowsToMenuEntry()
{
    const QString entryName = desktopId.toString();
    QGuiApplication::setDesktopFileName(entryName);
    if (QGuiApplication::platformName() != u"xcb")
        return;
    // X11's window class is the application name at the moment the first window is made, kept for every later
    // one. The name itself stays "Vantiro": the notification area shows it as the title of the tray icon.
    const QString applicationName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(entryName);
    QWindow first;
    first.create();
    QCoreApplication::setApplicationName(applicationName);
}

} // namespace vantiro
