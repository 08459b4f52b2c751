#pragma once
// Asking the window manager to activate a window (_NET_ACTIVE_WINDOW), as EWMH window managers expect it.
typedef struct _XDisplay Display;

namespace mirevo {

// Who asks: an application for its own window, or a pager or taskbar acting for the user (never refused as
// focus stealing).
enum class ActivationSource : long { Application = 1, Pager = 2 };

// time: the X server time of the user's action that led to it, or 0 (CurrentTime) when there is none.
void x11AskToActivate(Display* display, unsigned long window, ActivationSource source, unsigned long time = 0);

} // namespace mirevo
