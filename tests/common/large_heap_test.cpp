// Memory made ready in the heap during a start-up: faulted in ahead on one thread, held, then taken as it is
// by the next allocation of its size on another; and given back to the system when the start-up ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "common/posix/large_heap.h"

namespace mirevo {
namespace {

constexpr size_t kBytes = size_t{24} << 20;

// The share of the pages of [at, at + bytes) that are in memory (an address, so that one freed can be looked at).
double residentShare(uintptr_t at, size_t bytes) {
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t start = at / page * page;
    const size_t length = at + bytes - start;
    std::vector<unsigned char> pages((length + page - 1) / page);
    if (mincore(reinterpret_cast<void*>(start), length, pages.data()) != 0) return -1;
    size_t resident = 0;
    for (unsigned char p : pages) resident += p & 1;
    return double(resident) / double(pages.size());
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// In a process of its own: the heap's rules are the whole process's, and fixed once a second thread allocates.
int reserveTakenOnAnotherThreadThenGivenBack() {
    std::optional<HeapStartUp> startUp(std::in_place);
    HeapReserve reserve;
    std::thread([&reserve] { reserve = HeapReserve(kBytes); }).join();
    // A block of the same size allocated afresh has none of its pages in memory yet.
    void* fresh = std::malloc(kBytes);
    if (!fresh || residentShare(reinterpret_cast<uintptr_t>(fresh), kBytes) > 0.05) return 1;
    reserve.release();
    void* taken = std::malloc(kBytes - (size_t{1} << 20));
    if (!taken || residentShare(reinterpret_cast<uintptr_t>(taken), kBytes - (size_t{1} << 20)) < 0.99) return 2;
    // Where it was, looked at once it is free again.
    const auto takenAt = reinterpret_cast<uintptr_t>(taken);
    std::free(taken);
    std::free(fresh);
    // A start-up inside this one ends without giving the memory back: the outer one still needs it.
    {
        const HeapStartUp inner;
    }
    const long before = residentKiB();
    if (residentShare(takenAt, kBytes / 2) < 0.99) return 4;
    startUp.reset();
    if (before - residentKiB() < long(kBytes / 1024) * 3 / 4) return 3;
    // From then on, blocks a frame takes and gives back (a software GL's command blocks) stay in the heap for
    // the next frame, not handed back to the system and faulted in again each time.
    std::vector<void*> blocks;
    for (int i = 0; i < 6; ++i)
        blocks.push_back(std::malloc(64 * 1024));
    const void* top = sbrk(0);
    for (void* block : blocks)
        std::free(block);
    if (sbrk(0) != top) return 5;
    return 0;
}

TEST(LargeHeap, MemoryFaultedInAheadOnOneThreadIsTakenAsItIsOnAnotherAndGivenBackAtTheStartUpsEnd) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator is not the C library's";
#endif
    // 1: a fresh block was in memory already; 2: the block made ready was not; 3: nothing was given back;
    // 4: an inner start-up's end gave it back; 5: a frame's blocks went back to the system.
    EXPECT_EXIT(std::exit(reserveTakenOnAnotherThreadThenGivenBack()), testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace mirevo
