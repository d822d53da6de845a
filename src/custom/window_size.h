#pragma once

#include <QSize>

class QWidget;

namespace vantiro {

// A window's opening size: what it asks for, within the free area of its screen less room for the
// window manager's frame, and never below what its layout needs where the screen has room for that.
QSize sizeWithinScreen(const QWidget *window, QSize wanted);

} // namespace vantiro
