#pragma once
// The saver's own viewer: one 1024 x 768 window titled "Tovik_VC" showing the snapshot the saver wrote, until
// Escape, a close request, a stop signal or the saver's end. Returns the exit code.
namespace mirevo::viewer {

int runStandalone();

} // namespace mirevo::viewer
