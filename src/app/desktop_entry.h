#pragma once

namespace vantiro {

// Ties the program's windows to its menu entry, so that docks and task bars show the entry's name and icon
// for them and keep them under that entry rather than a second, generic one: the Wayland app id is the
// entry's name, and so is the class in X11's WM_CLASS, which the entry gives as its StartupWMClass.
// Called once the application object exists and has its name, before any window is made.
void tieWindowsToMenuEntry();

} // namespace vantiro
