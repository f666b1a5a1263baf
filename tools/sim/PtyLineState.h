#pragma once
// What the master side of a pseudo-terminal can tell of the line the client set up.

namespace dexsim {

struct PtyLineState {
    int baud = 0;      // the client's output rate, any value (0: not known)
    int stopBits = 1;  // 1 or 2
};

// Reads the client's line state through the master descriptor. Gives false when the
// descriptor does not answer.
bool readPtyLineState(int masterFd, PtyLineState& state);

}  // namespace dexsim
