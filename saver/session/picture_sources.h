#pragma once
// The desktop picture of a Wayland session from the first source that gives one: each source is asked in
// turn with a deadline of its own, and a picture that is entirely black counts as none (a desktop that will
// not show its screen may hand over such a copy). Plain logic over the sources, so it is tested without one.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "common/result.h"
#include "saver/session/output_composition.h"

namespace mirevo {

using Deadline = std::chrono::steady_clock::time_point;

struct PictureSource {
    std::string name; // for the lines said when it fails, e.g. "wlroots screen copy"
    std::function<Result<ComposedPicture, std::string>(Deadline)> take;
};

// How long each source may take before the next is asked.
inline constexpr std::chrono::seconds kPictureSourceLimit{4};

struct PictureOutcome {
    std::optional<ComposedPicture> picture; // empty when no source gave one
    std::string from;                       // the source that gave it
    std::vector<std::string> failures;      // one line per source that did not, in order
    bool stopped = false;                   // a stop came: no further source was asked, nothing is said
};

// stopped() is asked after each source: once it holds, the search ends (a source asked to end early says
// why it failed, and that is no news).
PictureOutcome firstPicture(const std::vector<PictureSource>& sources,
                            const std::function<Deadline()>& now = std::chrono::steady_clock::now,
                            std::chrono::milliseconds limit = kPictureSourceLimit,
                            const std::function<bool()>& stopped = {});

} // namespace mirevo
