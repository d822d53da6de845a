#include "app/notification_area.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace vantiro {

bool statusNotifierHostPresent(const QDBusConnection &sessionBus)
{
    const QString watcher = u"org.kde.StatusNotifierWatcher"_s;
    if (!sessionBus.isConnected() || !sessionBus.interface()->isServiceRegistered(watcher))
        return false;
    // The watcher alone is no host: the icons are only shown once a panel has registered with it.
    QDBusInterface host(watcher, u"/StatusNotifierWatcher"_s, watcher, sessionBus);
    return host.property("IsStatusNotifierHostRegistered").toBool();
}

bool notificationAreaReportsOnlySingleActivations()
{
#if defined(Q_OS_WIN)
    return false;
#elif defined(Q_OS_MACOS)
    return true;
#else
    if (QGuiApplication::platformName().startsWith(u"wayland"_s))
        return true;
    return statusNotifierHostPresent(QDBusConnection::sessionBus());
#endif
}

} // namespace vantiro
