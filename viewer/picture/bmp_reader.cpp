#include "viewer/picture/bmp_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/posix/unique_fd.h"
#include "viewer/picture/box_reduce.h"

namespace mirevo::viewer {

namespace {

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
int32_t le32s(const uint8_t* p) {
    uint32_t u = le32(p);
    int32_t s;
    std::memcpy(&s, &u, sizeof s);
    return s;
}

// Reads up to size bytes at offset, through short reads and interruptions; the count that arrived.
size_t readAt(int fd, uint8_t* into, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        ssize_t got = pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

// Rows are read about this many bytes at a time: a cancel is noticed between two bands, and a picture being
// reduced holds no more of its source than one band.
constexpr size_t kBandBytes = size_t{4} << 20;

// Fills the picture with the rows that fetch(into, offset from the first row, size) delivers, reduced by a
// whole factor when it is larger than maxSide allows. A failed allocation refuses the picture.
template <typename Fetch>
BmpResult<Picture> readRows(const BmpLayout& layout, const SideLimit& maxSide, Fetch fetch,
                             const std::atomic<bool>* cancelled) {
    const int factor = reductionFactor(layout.width, layout.height, maxSide ? maxSide(layout) : kMaxBmpSide);
    const size_t rows = static_cast<size_t>(layout.height);
    const size_t bandRows = std::min(rows, std::max<size_t>(1, kBandBytes / layout.rowBytes));
    try {
        if (factor == 1) {
            // Reserved, and grown band by band: a large picture's memory is first touched as its rows arrive,
            // not all at once before the first of them, which could not be abandoned.
            Picture image{layout.width, layout.height, {}};
            image.pixels.reserve(layout.pixelBytes());
            for (size_t row = 0; row < rows; row += bandRows) {
                if (cancelled && cancelled->load()) return Failure(BmpRefusal::Cancelled);
                const size_t offset = row * layout.rowBytes;
                const size_t size = std::min(bandRows, rows - row) * layout.rowBytes;
                image.pixels.resize(offset + size);
                if (!fetch(image.pixels.data() + offset, offset, size))
                    return Failure(BmpRefusal::ShortPixelData);
            }
            return image;
        }
        BoxReducer reducer(layout.width, layout.height, factor);
        std::vector<uint8_t> band(bandRows * layout.rowBytes);
        for (size_t row = 0; row < rows; row += bandRows) {
            if (cancelled && cancelled->load()) return Failure(BmpRefusal::Cancelled);
            const size_t count = std::min(bandRows, rows - row);
            if (!fetch(band.data(), row * layout.rowBytes, count * layout.rowBytes))
                return Failure(BmpRefusal::ShortPixelData);
            for (size_t i = 0; i < count; ++i)
                reducer.addRow(band.data() + i * layout.rowBytes);
        }
        return reducer.take();
    } catch (const std::bad_alloc&) {
        return Failure(BmpRefusal::OutOfMemory);
    }
}

} // namespace

const char* describe(BmpRefusal refusal) {
    switch (refusal) {
    case BmpRefusal::None:
        return "accepted";
    case BmpRefusal::CannotOpen:
        return "cannot open the file";
    case BmpRefusal::ShortHeader:
        return "shorter than its headers";
    case BmpRefusal::NotBitmap:
        return "not a bitmap";
    case BmpRefusal::NotTwentyFourBit:
        return "not 24 bits per pixel";
    case BmpRefusal::Compressed:
        return "compressed";
    case BmpRefusal::BadWidth:
        return "width not positive";
    case BmpRefusal::BadHeight:
        return "height 0";
    case BmpRefusal::TopDown:
        return "rows top-down";
    case BmpRefusal::TooLarge:
        return "a side too large";
    case BmpRefusal::BadPixelOffset:
        return "pixel data offset outside the file";
    case BmpRefusal::ShortPixelData:
        return "pixel data shorter than the rows need";
    case BmpRefusal::OutOfMemory:
        return "not enough memory for the picture";
    case BmpRefusal::Cancelled:
        return "reading abandoned";
    }
    return "unknown";
}

BmpResult<BmpLayout> parseBmpHeader(const uint8_t* header, size_t headerSize, uint64_t fileSize) {
    if (headerSize > fileSize) headerSize = static_cast<size_t>(fileSize);
    if (headerSize < 14) return Failure(BmpRefusal::ShortHeader);
    if (header[0] != 'B' || header[1] != 'M') return Failure(BmpRefusal::NotBitmap);
    if (headerSize < kBitmapHeaderSize) return Failure(BmpRefusal::ShortHeader);

    BmpLayout layout;
    layout.pixelOffset = le32(header + 10);
    // Anything before 54 would overlap the headers; a colour table or a larger info header lies between.
    if (layout.pixelOffset < kBitmapHeaderSize || layout.pixelOffset > fileSize)
        return Failure(BmpRefusal::BadPixelOffset);
    if (le16(header + 28) != 24) return Failure(BmpRefusal::NotTwentyFourBit);
    if (le32(header + 30) != 0) return Failure(BmpRefusal::Compressed);
    layout.width = le32s(header + 18);
    layout.height = le32s(header + 22);
    if (layout.width <= 0) return Failure(BmpRefusal::BadWidth);
    if (layout.height == 0) return Failure(BmpRefusal::BadHeight);
    if (layout.height < 0) return Failure(BmpRefusal::TopDown);
    if (layout.width > kMaxBmpSide || layout.height > kMaxBmpSide) return Failure(BmpRefusal::TooLarge);

    layout.rowBytes = pictureRowBytes(layout.width);
    // A declared size only ever shrinks what may be read: a short one cannot hold the rows, a long one must
    // still be in the file (a truncated file is refused), and neither is ever what gets allocated.
    uint64_t declared = le32(header + 34);
    uint64_t needed = layout.pixelBytes();
    uint64_t toRead = declared != 0 ? declared : needed;
    if (toRead < needed || fileSize - layout.pixelOffset < toRead)
        return Failure(BmpRefusal::ShortPixelData);
    return layout;
}

BmpResult<Picture> parseBmp(const uint8_t* data, size_t size, const SideLimit& maxSide) {
    auto layout = parseBmpHeader(data, size, size);
    if (!layout) return Failure(layout.reason());
    const uint8_t* pixels = data + layout->pixelOffset;
    return readRows(
        *layout, maxSide,
        [pixels](uint8_t* into, size_t offset, size_t bytes) {
            std::memcpy(into, pixels + offset, bytes);
            return true;
        },
        nullptr);
}

BmpResult<Picture> loadBmpFile(const std::string& path, const SideLimit& maxSide,
                                const std::atomic<bool>* cancelled) {
    if (path.empty()) return Failure(BmpRefusal::CannotOpen);
    // Non-blocking so that a FIFO planted at the path cannot hang the viewer before the type check.
    UniqueFd file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (file.get() < 0 || fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return Failure(BmpRefusal::CannotOpen);
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);

    uint8_t header[kBitmapHeaderSize];
    size_t got = readAt(file.get(), header, sizeof header, 0);
    auto layout = parseBmpHeader(header, got, fileSize);
    if (!layout) return Failure(layout.reason());

    // The size is checked against the file's length, so nothing larger than the file itself is allocated; a
    // short read means the file shrank under us.
    const int fd = file.get();
    const uint64_t pixelOffset = layout->pixelOffset;
    return readRows(
        *layout, maxSide,
        [fd, pixelOffset](uint8_t* into, size_t offset, size_t bytes) {
            return readAt(fd, into, bytes, pixelOffset + offset) == bytes;
        },
        cancelled);
}

} // namespace mirevo::viewer
