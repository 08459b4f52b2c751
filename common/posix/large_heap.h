#pragma once
// The heap made ready for a large buffer that a library is about to allocate and fill at once (a software GL's
// texture storage). Fresh memory costs the system one fault per 4 KiB page when it is first touched (on a
// virtual machine tens of microseconds each: a full-screen texture's storage took 90 ms at 1080p); a thread
// with time to spare can take those faults beforehand, on 2 MiB pages where the kernel gives them on request,
// and leave the memory free in the heap for the library's allocation to take as it is.
#include <cstddef>

namespace mirevo {

// While a start-up lasts: every thread allocates from the one heap (so that memory made ready on one thread
// serves another; it also spares each thread a heap of its own for good, but only where no second thread has
// allocated yet), large blocks come from that heap rather than mappings of their own, and memory freed stays
// in it. Its end restores the C library's rules for large blocks and gives the memory left free back to the
// system. One inside another (on the same thread) leaves that to the outer one.
class HeapStartUp {
public:
    HeapStartUp();
    ~HeapStartUp();
    HeapStartUp(const HeapStartUp&) = delete;
    HeapStartUp& operator=(const HeapStartUp&) = delete;
};

// Memory of the heap faulted in ahead and held for an allocation another thread will make: released just
// before it, it is left free in the heap, where that allocation (of up to its size) takes it as it is. Only
// worth it during a HeapStartUp; outside one it costs the faults and gains nothing.
class HeapReserve {
public:
    HeapReserve() = default;
    // Faults in bytes (on 2 MiB pages where the kernel gives them on request); nothing when there is no room.
    explicit HeapReserve(size_t bytes);
    ~HeapReserve() { release(); }
    HeapReserve(HeapReserve&& other) noexcept;
    HeapReserve& operator=(HeapReserve&& other) noexcept;
    HeapReserve(const HeapReserve&) = delete;
    HeapReserve& operator=(const HeapReserve&) = delete;

    // Frees it in the heap, for the next allocation to take.
    void release();

private:
    void* block_ = nullptr;
    void* largePages_ = nullptr; // the part advised for large pages
    size_t largePagesBytes_ = 0;
};

} // namespace mirevo
