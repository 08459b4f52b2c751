#pragma once
// The viewer ends with the saver that started it, however the saver ends (SIGKILL included), and on SIGTERM
// or SIGINT, as it does on Escape: the signals only mark the request, which the loops read.
namespace mirevo::viewer {

// Handles SIGTERM and SIGINT from now on, for the whole run (a dying parent may send more than one, and one
// may come before the window exists), and asks the kernel for SIGTERM when the parent dies. False when the
// parent has already gone (the viewer then belongs to init), so that the caller ends at once.
bool linuxEndWithParent();

// Whether SIGTERM or SIGINT has come.
bool endRequested();

} // namespace mirevo::viewer
