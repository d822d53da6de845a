// termios2 reads any speed, standard or not; its header cannot share a file with <termios.h>.
#include "pseudo_terminal.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vantiro::test {

std::optional<TerminalState> readTerminalState(int fd)
{
    termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return std::nullopt;
    TerminalState state;
    state.baudRate = tio.c_ospeed;
    state.rtsCts = (tio.c_cflag & CRTSCTS) != 0;
    state.xonXoff = (tio.c_iflag & IXON) && (tio.c_iflag & IXOFF);
    return state;
}

bool writeBaudRate(int fd, quint32 baud)
{
    termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~CBAUD;
    // 50 baud, the tests' marker speed, is set by its constant so that programs saving and putting
    // back the line with plain termios see it as it is.
    tio.c_cflag |= baud == 50 ? B50 : BOTHER;
    tio.c_ispeed = tio.c_ospeed = baud;
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

} // namespace vantiro::test
