#pragma once
// A locker's answer: the screen is covered, or the line that says why not.
#include <string>

#include "common/result.h"

namespace mirevo {

using Covered = Result<void, std::string>;

} // namespace mirevo
