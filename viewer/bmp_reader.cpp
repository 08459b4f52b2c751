#include "viewer/bmp_reader.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

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
    }
    return "unknown";
}

BmpResult<BmpLayout> parseBmpHeader(const uint8_t* header, size_t headerSize, uint64_t fileSize) {
    using R = BmpResult<BmpLayout>;
    if (headerSize > fileSize) headerSize = static_cast<size_t>(fileSize);
    if (headerSize < 14) return R::refuse(BmpRefusal::ShortHeader);
    if (header[0] != 'B' || header[1] != 'M') return R::refuse(BmpRefusal::NotBitmap);
    if (headerSize < kBmpHeadersSize) return R::refuse(BmpRefusal::ShortHeader);

    BmpLayout layout;
    layout.pixelOffset = le32(header + 10);
    // Anything before 54 would overlap the headers; a colour table or a larger info header lies between.
    if (layout.pixelOffset < kBmpHeadersSize || layout.pixelOffset > fileSize)
        return R::refuse(BmpRefusal::BadPixelOffset);
    if (le16(header + 28) != 24) return R::refuse(BmpRefusal::NotTwentyFourBit);
    if (le32(header + 30) != 0) return R::refuse(BmpRefusal::Compressed);
    layout.width = le32s(header + 18);
    layout.height = le32s(header + 22);
    if (layout.width <= 0) return R::refuse(BmpRefusal::BadWidth);
    if (layout.height == 0) return R::refuse(BmpRefusal::BadHeight);
    if (layout.height < 0) return R::refuse(BmpRefusal::TopDown);
    if (layout.width > kMaxBmpSide || layout.height > kMaxBmpSide) return R::refuse(BmpRefusal::TooLarge);

    layout.rowBytes = (static_cast<size_t>(layout.width) * 3 + 3) & ~size_t{3};
    // A declared size only ever shrinks what may be read: a short one cannot hold the rows, a long one must
    // still be in the file (a truncated file is refused), and neither is ever what gets allocated.
    uint64_t declared = le32(header + 34);
    uint64_t needed = layout.pixelBytes();
    uint64_t toRead = declared != 0 ? declared : needed;
    if (toRead < needed || fileSize - layout.pixelOffset < toRead)
        return R::refuse(BmpRefusal::ShortPixelData);
    return {layout, BmpRefusal::None};
}

BmpResult<BmpImage> parseBmp(const uint8_t* data, size_t size) {
    auto layout = parseBmpHeader(data, size, size);
    if (!layout) return BmpResult<BmpImage>::refuse(layout.refusal);
    const BmpLayout& l = *layout.value;
    BmpImage image{l.width, l.height, {}};
    const uint8_t* pixels = data + l.pixelOffset;
    image.pixels.assign(pixels, pixels + l.pixelBytes());
    return {std::move(image), BmpRefusal::None};
}

BmpResult<BmpImage> loadBmpFile(const std::string& path) {
    using R = BmpResult<BmpImage>;
    if (path.empty()) return R::refuse(BmpRefusal::CannotOpen);
    // Non-blocking so that a FIFO planted at the path cannot hang the viewer before the type check.
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (file.get() < 0 || fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return R::refuse(BmpRefusal::CannotOpen);
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);

    uint8_t header[kBmpHeadersSize];
    size_t got = readAt(file.get(), header, sizeof header, 0);
    auto layout = parseBmpHeader(header, got, fileSize);
    if (!layout) return R::refuse(layout.refusal);
    const BmpLayout& l = *layout.value;

    // The size is checked against the file's length, so this cannot be made larger than the file itself.
    BmpImage image{l.width, l.height, std::vector<uint8_t>(l.pixelBytes())};
    if (readAt(file.get(), image.pixels.data(), image.pixels.size(), l.pixelOffset) != image.pixels.size())
        return R::refuse(BmpRefusal::ShortPixelData); // the file shrank under us
    return {std::move(image), BmpRefusal::None};
}

} // namespace mirevo::viewer
