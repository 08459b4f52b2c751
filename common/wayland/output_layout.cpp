#include "common/wayland/output_layout.h"

namespace mirevo {

OutputLayout withLogicalSize(OutputLayout output) {
    if (output.logicalWidth > 0 && output.logicalHeight > 0) return output;
    const bool turned = (static_cast<int>(output.transform) & 1) != 0;
    const int scale = output.scale > 0 ? output.scale : 1;
    output.logicalWidth = (turned ? output.modeHeight : output.modeWidth) / scale;
    output.logicalHeight = (turned ? output.modeWidth : output.modeHeight) / scale;
    return output;
}

} // namespace mirevo
