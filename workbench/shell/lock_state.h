// The keyboard's Caps, Num and Scroll Lock indicators, read from the window system.
#pragma once

#include <optional>

namespace korvan::shell {

struct LockState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The indicators as the keyboard shows them, or nothing where the platform does not tell them
// (no X11 display, no keyboard extension): a guess could only be wrong.
std::optional<LockState> readLockState();

}  // namespace korvan::shell
