// Reads the lock indicators through the X keyboard extension of the display Qt is using.
#include "lock_state.h"

#include <QGuiApplication>

#if KORVAN_HAVE_XKB
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace korvan::shell {

std::optional<LockState> readLockState() {
#if KORVAN_HAVE_XKB
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return std::nullopt;
    // The indicators are found by name: their numbers depend on the keyboard description.
    auto indicator = [display](const char* name, bool* on) {
        const Atom atom = XInternAtom(display, name, True);
        int state = 0;
        if (atom == 0 || !XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr)) return false;
        *on = state != 0;
        return true;
    };
    LockState s;
    if (!indicator("Caps Lock", &s.caps) || !indicator("Num Lock", &s.num)) return std::nullopt;
    if (!indicator("Scroll Lock", &s.scroll)) s.scroll = false;
    return s;
#else
    return std::nullopt;
#endif
}

}  // namespace korvan::shell
