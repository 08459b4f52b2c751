#pragma once
// The disc on libcdio: the default CD drive, or the drive or .cue disc image named by MIREVO_CD_DEVICE.
// Drives are read through libcdio-paranoia; images, which neither scratch nor jitter, directly.
#include <memory>

#include "shared/music/disc_player.h"

namespace mirevo {

// device: a drive path or a .cue file; null or empty for libcdio's default drive. Nothing is opened here:
// the disc player's reader thread opens it when it first reads the contents.
std::unique_ptr<DiscReader> openCdioDisc(const char* device);

} // namespace mirevo
