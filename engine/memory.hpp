#pragma once
// Memory for large tables: blocks of 2 MiB and more are mapped directly and
// advised for transparent huge pages, so filling a million-entry table costs
// a few faults per 2 MiB instead of one per 4 KiB page.

#include <atomic>
#include <cstddef>
#include <new>

namespace tablomir {

void* allocate_large(size_t bytes);
void release_large(void* p, size_t bytes) noexcept;
// Grows a block from allocate_large to at least `bytes`, keeping its
// contents; the pages move instead of being copied where the system allows.
void* grow_large(void* p, size_t old_bytes, size_t bytes);

// Advises huge pages for the whole 2 MiB pages inside [p, p + bytes), for
// large blocks that other code allocated and this code is about to fill.
void advise_huge_pages(void* p, size_t bytes) noexcept;

inline constexpr size_t kLargeBlock = size_t(2) << 20;

// Fixed-size blocks carved from 2 MiB huge-page slabs, for records that
// exist by the million (cells): no per-block header, and a few page faults
// per slab instead of one per 4 KiB. Freed blocks are kept for reuse; slabs
// are never returned. Safe to use from any thread.
class FixedPool {
public:
    explicit FixedPool(size_t block_size) noexcept;
    void* allocate();
    void release(void* p) noexcept;

private:
    struct Free {
        Free* next;
    };
    void lock() noexcept;
    void unlock() noexcept;

    size_t block_size_;
    std::atomic<bool> locked_{false};
    Free* free_ = nullptr;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
};

// Where records of type T get their blocks: the heap, unless a record type
// chooses a pool by specialising this.
template <class T>
struct RecordMemory {
    static void* allocate(size_t bytes) { return ::operator new(bytes); }
    static void release(void* p) noexcept { ::operator delete(p); }
};

template <class T>
struct LargeTableAllocator {
    using value_type = T;
    LargeTableAllocator() noexcept = default;
    template <class U>
    LargeTableAllocator(const LargeTableAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        const size_t bytes = n * sizeof(T);
        if (bytes < kLargeBlock) return static_cast<T*>(::operator new(bytes, std::align_val_t(alignof(T))));
        return static_cast<T*>(allocate_large(bytes));
    }
    void deallocate(T* p, size_t n) noexcept {
        const size_t bytes = n * sizeof(T);
        if (bytes < kLargeBlock) ::operator delete(p, std::align_val_t(alignof(T)));
        else release_large(p, bytes);
    }
    template <class U>
    bool operator==(const LargeTableAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace tablomir
