#pragma once
// SIGTERM, SIGINT and SIGHUP as a request to stop, caught one way in every program: the handler only notes the
// request and writes a byte to a pipe; the program's loop sees the note, or wakes on the pipe beside its other
// input (the Qt loop's notifier, the hack's poll), and ends as it does when asked in any other way.
namespace mirevo {

// Whether SIGHUP is a stop too, or keeps its default action (the viewer, which its saver stops by SIGTERM).
enum class HangUp { Stops, KeepsDefault };

// From now on the stop signals are only noted; again later, it does nothing. Call it first thing in main:
// SDL leaves alone a signal it finds handled, and a stop that comes before the window that answers it is
// not lost.
void catchStopSignals(HangUp hangUp = HangUp::Stops);
// Whether a stop signal has come since they were caught.
bool stopRequested();
// The pipe's end to watch: readable once a stop signal has come; -1 while the signals are not caught.
int stopSignalFd();
// Empties the pipe, so that a watcher that has seen it wakes only for the next signal.
void drainStopSignalFd();
// The signals take their default action again; the pipe is closed and the request forgotten.
void releaseStopSignals();

// Asks the kernel for SIGTERM when the parent process ends, however it ends (SIGKILL included), so that the
// program ends with its parent. False when the parent has gone already (the program then belongs to init),
// so that the caller ends at once.
bool stopWithParent();

} // namespace mirevo
