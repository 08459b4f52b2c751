#pragma once
// The viewer ends with the saver that started it, however the saver ends (SIGKILL included): the kernel sends
// it SIGTERM when its parent dies, and SIGTERM ends the viewer as Escape does.
namespace mirevo::viewer {

// Asks for SIGTERM on the parent's death. False when the parent has already gone (the viewer then belongs to
// init), so that the caller ends at once instead of waiting for a signal that will never come.
bool linuxEndWithParent();

} // namespace mirevo::viewer
