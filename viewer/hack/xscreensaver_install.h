#pragma once
// mirevo-hack --install-xscreensaver / --uninstall-xscreensaver: Mirevo in, or out of, the programs list of
// the user's ~/.xscreensaver, every other byte of the file kept. One line says what was done.
namespace mirevo::viewer {

// Exit code: 0 done (or nothing to do), 1 the file could not be read, edited or written.
int editXscreensaverPrograms(bool add);

} // namespace mirevo::viewer
