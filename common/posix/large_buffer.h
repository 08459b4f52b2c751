#pragma once
// A buffer of a megabyte or more filled once (a texture's levels): anonymous memory on 2 MiB boundaries,
// rounded up to whole 2 MiB pages and marked for transparent huge pages, so that filling it takes a page fault
// per 2 MiB instead of one per 4 KiB where the kernel gives them (on a virtual machine each fault is costly).
// A smaller one comes from the heap. Its bytes start unset.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace mirevo {

class LargeBuffer {
public:
    LargeBuffer() = default;
    // Throws std::bad_alloc when there is no room.
    explicit LargeBuffer(size_t bytes);
    ~LargeBuffer() { reset(); }
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    uint8_t* get() const { return data_; }
    // Gives the memory back to the system.
    void reset();

private:
    std::unique_ptr<uint8_t[]> heap_; // a small buffer
    uint8_t* data_ = nullptr;
    size_t mapped_ = 0; // a large one's whole 2 MiB pages
};

} // namespace mirevo
