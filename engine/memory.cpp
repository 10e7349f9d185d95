#include "memory.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace tablomir {

namespace {
size_t round_up(size_t bytes) { return (bytes + kLargeBlock - 1) & ~(kLargeBlock - 1); }
}  // namespace

void* allocate_large(size_t bytes) {
    // Over-map by one block so the start can be aligned to a huge page.
    const size_t size = round_up(bytes);
    void* raw = mmap(nullptr, size + kLargeBlock, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t start = uintptr_t(raw);
    const uintptr_t aligned = (start + kLargeBlock - 1) & ~(uintptr_t(kLargeBlock) - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const uintptr_t end = aligned + size;
    const uintptr_t raw_end = start + size + kLargeBlock;
    if (raw_end > end) munmap(reinterpret_cast<void*>(end), raw_end - end);
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void release_large(void* p, size_t bytes) noexcept { munmap(p, round_up(bytes)); }

void* grow_large(void* p, size_t old_bytes, size_t bytes) {
    const size_t old_size = round_up(old_bytes), size = round_up(bytes);
    if (size <= old_size) return p;
    void* moved = mremap(p, old_size, size, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    madvise(moved, size, MADV_HUGEPAGE);
    return moved;
}

}  // namespace tablomir

namespace tablomir {

void advise_huge_pages(void* p, size_t bytes) noexcept {
    const uintptr_t start = (uintptr_t(p) + kLargeBlock - 1) & ~(uintptr_t(kLargeBlock) - 1);
    const uintptr_t end = (uintptr_t(p) + bytes) & ~(uintptr_t(kLargeBlock) - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

}  // namespace tablomir

namespace tablomir {

// Blocks are 8-byte aligned: enough for records of integers, doubles and
// pointers, which is what pooled records hold.
FixedPool::FixedPool(size_t block_size) noexcept : block_size_((block_size + 7) & ~size_t(7)) {}

void FixedPool::lock() noexcept {
    while (locked_.exchange(true, std::memory_order_acquire))
        while (locked_.load(std::memory_order_relaxed)) {
        }
}

void FixedPool::unlock() noexcept { locked_.store(false, std::memory_order_release); }

void* FixedPool::allocate() {
    lock();
    if (Free* f = free_) {
        free_ = f->next;
        unlock();
        return f;
    }
    if (size_t(end_ - cursor_) < block_size_) {
        void* slab;
        try {
            slab = allocate_large(kLargeBlock);
        } catch (...) {
            unlock();
            throw;
        }
        cursor_ = static_cast<char*>(slab);
        end_ = cursor_ + kLargeBlock;
    }
    void* p = cursor_;
    cursor_ += block_size_;
    unlock();
    return p;
}

void FixedPool::release(void* p) noexcept {
    if (!p) return;
    lock();
    static_cast<Free*>(p)->next = free_;
    free_ = static_cast<Free*>(p);
    unlock();
}

}  // namespace tablomir
