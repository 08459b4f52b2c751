#pragma once
// X protocol errors must not end the viewer: Xlib's default handler exits with code 1, and SDL can provoke a
// harmless one while the window goes away (a wake-up message sent to the window just being destroyed), which
// would break the promise of exit code 0. Window-system results are not examined anyway.
namespace mirevo::viewer {

// Call before SDL starts its video, so that SDL's own handler passes errors on to this one.
void ignoreX11ProtocolErrors();

} // namespace mirevo::viewer
