#pragma once
// Free of Xlib's headers, for code that also includes toolkits whose names Xlib's macros would clash with.
namespace mirevo {

// Xlib's default handler ends the process on any X error, and a window may vanish while it is looked at. The
// process's one handler never does: it hands each error to the trap set for the request that caused it
// (x11_error_trap.h) and drops the others. Installed once, from any thread; opening an X11Display installs
// it. A toolkit that opens its own connection and passes errors on to the handler it found (SDL does) must
// start after this call.
void x11InstallErrorHandler();

} // namespace mirevo
