// Kept in a file of its own: the kernel's termios2 (any baud rate, not only the B-constants)
// cannot share a translation unit with the C library's <termios.h>.
#include "tools/sim/PtyLineState.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace dexsim {

bool readPtyLineState(int masterFd, PtyLineState& state) {
    struct termios2 t {};
    if (ioctl(masterFd, TCGETS2, &t) != 0) return false;
    state.baud = static_cast<int>(t.c_ospeed);
    state.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return true;
}

}  // namespace dexsim
