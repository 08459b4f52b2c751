#pragma once
// Free of Xlib's headers, for code that also includes toolkits whose names Xlib's macros would clash with.
namespace mirevo {

// Xlib's default handler ends the process on any error, and a window may vanish while it is looked at: from
// now on errors are counted, on every connection of the process.
void x11CountErrorsFromNowOn();

} // namespace mirevo
