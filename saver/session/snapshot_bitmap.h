#pragma once
// The desktop picture as the viewer reads it: an uncompressed 24-bit bottom-up bitmap file, mirrored left to
// right. Plain arithmetic on pixel memory, so it is tested without a screen.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/bitmap_rows.h"
#include "common/pixel_rows.h"
#include "common/posix/byte_sink.h"
#include "common/result.h"

namespace mirevo {

// The rows' rule (bitmapRowSize) and the headers' size are the viewer's reader's too: common/bitmap_rows.h.
constexpr size_t bitmapFileSize(int width, int height) {
    return kBitmapHeaderSize + bitmapRowSize(width) * static_cast<size_t>(height);
}

enum class MirrorFailure { EmptyPicture, PictureUnreadable, SinkFailed };
using MirrorResult = Result<void, MirrorFailure>;

// The file of the picture mirrored left to right (column x lands in column width - 1 - x), rows not flipped:
// the first row in the file is the picture's bottom row, as bottom-up bitmaps have it. The picture is read
// band by band from the bottom up, and the bytes go to the sink one band at a time.
MirrorResult writeMirroredBitmap(RowSource& picture, const ByteSink& sink);

} // namespace mirevo
