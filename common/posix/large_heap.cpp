#include "common/posix/large_heap.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace mirevo {

namespace {

constexpr size_t kLargePage = size_t{2} << 20;
// The C library's own default, restored at the end of the start-up.
constexpr int kDefaultMmapMax = 65536;
// Free memory kept at the heap's top after the start-up. Once set, the C library no longer raises its own
// 128 KiB as large blocks come and go, and a software GL's command blocks of each frame (a few 64 KiB) would go
// back to the system and be faulted in again every frame.
constexpr int kRunningTrimThreshold = 4 << 20;
// How many start-ups are in force: only the outermost sets the rules and restores them.
std::atomic<int> startUps{0};

} // namespace

HeapStartUp::HeapStartUp() {
    if (startUps++ > 0) return;
    // The number of heaps is fixed when a second thread first allocates: this has to come before.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

HeapStartUp::~HeapStartUp() {
    if (--startUps > 0) return;
    mallopt(M_MMAP_MAX, kDefaultMmapMax);
    mallopt(M_TRIM_THRESHOLD, kRunningTrimThreshold);
    // The start-up's copies go back to the system, not only to the heap (a hack runs for hours).
    malloc_trim(0);
}

HeapReserve::HeapReserve(size_t bytes) {
    if (bytes == 0) return;
    auto* block = static_cast<uint8_t*>(std::malloc(bytes));
    if (!block) return;
    block_ = block;
    const auto start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t from = (start + kLargePage - 1) / kLargePage * kLargePage;
    const uintptr_t to = (start + bytes) / kLargePage * kLargePage;
    // Only advice: without large pages the faults are taken a small page at a time, here rather than later.
    if (to > from && madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE) == 0) {
        largePages_ = reinterpret_cast<void*>(from);
        largePagesBytes_ = to - from;
    }
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    // Written, not read: a read of an untouched page maps the shared zero page and leaves the fault for later.
    volatile uint8_t* touch = block;
    for (size_t at = 0; at < bytes; at += page) touch[at] = 0;
    touch[bytes - 1] = 0;
}

HeapReserve::HeapReserve(HeapReserve&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)), largePages_(std::exchange(other.largePages_, nullptr)),
      largePagesBytes_(std::exchange(other.largePagesBytes_, 0)) {}

HeapReserve& HeapReserve::operator=(HeapReserve&& other) noexcept {
    if (this != &other) {
        release();
        block_ = std::exchange(other.block_, nullptr);
        largePages_ = std::exchange(other.largePages_, nullptr);
        largePagesBytes_ = std::exchange(other.largePagesBytes_, 0);
    }
    return *this;
}

void HeapReserve::release() {
    // The large pages in place stay; the heap's memory faulted in later there (once the part the allocation
    // leaves is given back) comes a small page at a time again, as much as is used.
    if (largePages_) madvise(largePages_, largePagesBytes_, MADV_NOHUGEPAGE);
    largePages_ = nullptr;
    largePagesBytes_ = 0;
    std::free(std::exchange(block_, nullptr));
}

} // namespace mirevo
