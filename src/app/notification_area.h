#pragma once

class QDBusConnection;

namespace vantiro {

// Whether the desktop's notification area is a StatusNotifierItem host (the panels of many desktops,
// and of every Wayland session): it reports a click on an icon as a single activation and never as a
// double-click. Asked on the given session bus.
bool statusNotifierHostPresent(const QDBusConnection &sessionBus);

// The same for this desktop: always on Wayland, where no other notification area exists; on X11
// when the session bus has a host; never on Windows.
bool notificationAreaReportsOnlySingleActivations();

} // namespace vantiro
