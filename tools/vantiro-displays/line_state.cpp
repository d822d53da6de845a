// termios2 reads any speed, standard or not; its header cannot share a file with <termios.h>.
#include "line_state.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vantiro::displays {

std::optional<LineState> readLineState(int fd)
{
    termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return std::nullopt;
    return LineState { tio.c_ospeed, (tio.c_lflag & EXTPROC) != 0 };
}

} // namespace vantiro::displays
