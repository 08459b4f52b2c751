#include "common/posix/large_buffer.h"

#include <new>
#include <utility>

#include <sys/mman.h>

namespace mirevo {

namespace {

constexpr size_t kLargePage = size_t{2} << 20;
// Below this the rounding up would cost more memory than the faults it saves are worth.
constexpr size_t kWorthLargePages = size_t{1} << 20;

} // namespace

LargeBuffer::LargeBuffer(size_t bytes) {
    if (bytes > (size_t{1} << 40)) throw std::bad_alloc();
    if (bytes < kWorthLargePages) {
        heap_.reset(new uint8_t[bytes > 0 ? bytes : 1]);
        data_ = heap_.get();
        return;
    }
    const size_t mapped = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    // A large page longer than needed, then trimmed to start on a large-page boundary.
    void* area = mmap(nullptr, mapped + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(area);
    const uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
    if (aligned > start) munmap(area, aligned - start);
    if (start + kLargePage > aligned) munmap(reinterpret_cast<void*>(aligned + mapped), start + kLargePage - aligned);
    data_ = reinterpret_cast<uint8_t*>(aligned);
    mapped_ = mapped;
    // Only advice: without it the buffer works the same, a small page at a time.
    madvise(data_, mapped_, MADV_HUGEPAGE);
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : heap_(std::move(other.heap_)), data_(std::exchange(other.data_, nullptr)),
      mapped_(std::exchange(other.mapped_, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
        reset();
        heap_ = std::move(other.heap_);
        data_ = std::exchange(other.data_, nullptr);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

void LargeBuffer::reset() {
    if (mapped_) munmap(data_, mapped_);
    heap_.reset();
    data_ = nullptr;
    mapped_ = 0;
}

} // namespace mirevo
