#include "app/XkbLockKeys.h"

#include <QGuiApplication>

#if __has_include(<X11/XKBlib.h>) && QT_CONFIG(xcb)
#define QUENDA_HAVE_XKB 1
#include <X11/XKBlib.h>
#endif

namespace quenda {

std::optional<LockKeys> ReadXkbLockKeys() {
#ifdef QUENDA_HAVE_XKB
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return std::nullopt;
    // Indicators are found by name: their bit numbers differ between keymaps.
    auto on = [display](const char* name, bool& lit) {
        Bool state = False;
        const Atom atom = XInternAtom(display, name, False);
        if (!XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr)) return false;
        lit = state == True;
        return true;
    };
    LockKeys keys;
    const bool any = on("Caps Lock", keys.caps) | on("Num Lock", keys.num) | on("Scroll Lock", keys.scroll);
    if (!any) return std::nullopt;
    return keys;
#else
    return std::nullopt;
#endif
}

}  // namespace quenda
