#pragma once
// The disc on libcdio: the default CD drive, or the drive or .cue disc image named by MIREVO_CD_DEVICE,
// read digitally through libcdio-paranoia.
#include <memory>

#include "saver/music/disc_player.h"

namespace mirevo {

// device: a drive path or a .cue file; null or empty for libcdio's default drive. Nothing when there is
// no drive to open.
std::unique_ptr<DiscReader> openCdioDisc(const char* device);

} // namespace mirevo
