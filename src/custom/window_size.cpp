#include "custom/window_size.h"

#include <QScreen>
#include <QWidget>

namespace vantiro {

namespace {

// A title bar and borders.
constexpr QSize windowFrameAllowance(16, 48);

} // namespace

QSize sizeWithinScreen(const QWidget *window, QSize wanted)
{
    const QScreen *shown = window->screen();
    if (!shown)
        return wanted;
    const QSize room = shown->availableGeometry().size() - windowFrameAllowance;
    return wanted.boundedTo(room).expandedTo(window->minimumSizeHint().boundedTo(room));
}

} // namespace vantiro
