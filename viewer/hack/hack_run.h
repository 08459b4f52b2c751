#pragma once
// The viewer with arguments: a hack drawing into a saver manager's window, or the command that lists it in
// ~/.xscreensaver. Returns the exit code.
namespace mirevo::viewer {

int runWithArguments(int argc, char** argv);

} // namespace mirevo::viewer
