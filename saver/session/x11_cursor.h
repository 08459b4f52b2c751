#pragma once
// The mouse cursor over the whole screen, hidden and shown through XFixes. The server keeps the hide only
// while this connection lives.
typedef struct _XDisplay Display;

namespace mirevo {

void x11HideCursor(Display* display);
void x11ShowCursor(Display* display);

} // namespace mirevo
