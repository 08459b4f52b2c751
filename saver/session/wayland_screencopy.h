#pragma once
// The wlroots screen-copy protocol (sway, labwc, wayfire, Hyprland): every output copied at once into
// shared memory, without the cursor.
#include <chrono>
#include <string>
#include <vector>

#include "common/result.h"
#include "saver/session/output_composition.h"
#include "saver/session/picture_sources.h"

namespace mirevo {

class WaylandConnection;

// Every output's copy, or why not (the protocol not offered, a copy refused, a buffer larger than its output,
// the deadline passed, wakeFd readable: the stop signals' pipe, or -1).
Result<std::vector<OutputCopy>, std::string> copyOutputs(WaylandConnection& connection,
                                                         std::chrono::steady_clock::time_point deadline,
                                                         int wakeFd = -1);

// The screen copy of every output on the session's compositor, composed into one picture; it ends at a stop
// signal.
PictureSource wlrScreenCopySource();

} // namespace mirevo
