#pragma once
// Shared<T, Lock>: the one shared handle type of the engine. It owns a
// reference-counted block that holds a record together with the record's own
// reader-writer lock. The record is reachable only through guards:
//     auto r = handle.read();   // shared lock held while `r` lives
//     auto w = handle.write();  // exclusive lock held while `w` lives
// Locks are not re-entrant; the lock order is book, then sheet, then cell or
// comment.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <utility>

namespace tablomir {

// A one-word reader-writer spin lock for records whose critical sections are
// a few instructions long (cells). Bit 31 marks a writer, the low bits count
// readers. A writer first sets the bit, then waits for readers to drain, so a
// stream of readers cannot starve it.
class SpinRwLock {
public:
    void lock() noexcept {
        uint32_t expected = state_.load(std::memory_order_relaxed);
        for (unsigned spins = 0;; ++spins) {
            if (!(expected & kWriter) &&
                state_.compare_exchange_weak(expected, expected | kWriter, std::memory_order_acquire,
                                             std::memory_order_relaxed))
                break;
            pause(spins);
            expected = state_.load(std::memory_order_relaxed);
        }
        for (unsigned spins = 0; state_.load(std::memory_order_acquire) != kWriter; ++spins) pause(spins);
    }
    void unlock() noexcept { state_.store(0, std::memory_order_release); }

    void lock_shared() noexcept {
        for (unsigned spins = 0;; ++spins) {
            uint32_t expected = state_.load(std::memory_order_relaxed);
            if (!(expected & kWriter) &&
                state_.compare_exchange_weak(expected, expected + 1, std::memory_order_acquire,
                                             std::memory_order_relaxed))
                return;
            pause(spins);
        }
    }
    void unlock_shared() noexcept { state_.fetch_sub(1, std::memory_order_release); }

private:
    static constexpr uint32_t kWriter = 0x80000000u;
    static void pause(unsigned spins) noexcept {
        if (spins >= 64) std::this_thread::yield();
    }
    std::atomic<uint32_t> state_{0};
};

template <class T, class Lock>
class Shared;

// Read access to a record: holds its lock shared for the guard's lifetime.
template <class T, class Lock>
class ReadGuard {
public:
    ReadGuard(ReadGuard&& o) noexcept : lock_(std::exchange(o.lock_, nullptr)), value_(o.value_) {}
    ReadGuard(const ReadGuard&) = delete;
    ReadGuard& operator=(const ReadGuard&) = delete;
    ~ReadGuard() {
        if (lock_) lock_->unlock_shared();
    }
    const T& operator*() const { return *value_; }
    const T* operator->() const { return value_; }

private:
    friend class Shared<T, Lock>;
    ReadGuard(Lock& lock, const T& value) : lock_(&lock), value_(&value) { lock_->lock_shared(); }
    Lock* lock_;
    const T* value_;
};

// Write access to a record: holds its lock exclusively for the guard's lifetime.
template <class T, class Lock>
class WriteGuard {
public:
    WriteGuard(WriteGuard&& o) noexcept : lock_(std::exchange(o.lock_, nullptr)), value_(o.value_) {}
    WriteGuard(const WriteGuard&) = delete;
    WriteGuard& operator=(const WriteGuard&) = delete;
    ~WriteGuard() {
        if (lock_) lock_->unlock();
    }
    T& operator*() const { return *value_; }
    T* operator->() const { return value_; }

private:
    friend class Shared<T, Lock>;
    WriteGuard(Lock& lock, T& value) : lock_(&lock), value_(&value) { lock_->lock(); }
    Lock* lock_;
    T* value_;
};

template <class T, class Lock = std::shared_mutex>
class Shared {
    struct Block {
        template <class... A>
        explicit Block(A&&... args) : value(std::forward<A>(args)...) {}
        std::atomic<uint32_t> refs{1};
        Lock lock;
        T value;
    };

public:
    using Read = ReadGuard<T, Lock>;
    using Write = WriteGuard<T, Lock>;

    Shared() noexcept = default;
    template <class... A>
    static Shared make(A&&... args) {
        return Shared(new Block(std::forward<A>(args)...));
    }

    Shared(const Shared& o) noexcept : block_(o.block_) { retain(); }
    Shared(Shared&& o) noexcept : block_(std::exchange(o.block_, nullptr)) {}
    Shared& operator=(Shared o) noexcept {
        std::swap(block_, o.block_);
        return *this;
    }
    ~Shared() { release(); }

    explicit operator bool() const noexcept { return block_ != nullptr; }
    // Identity of the shared record, for comparisons only.
    const void* identity() const noexcept { return block_; }

    Read read() const { return Read(block_->lock, block_->value); }
    Write write() const { return Write(block_->lock, block_->value); }

private:
    explicit Shared(Block* b) noexcept : block_(b) {}
    void retain() const noexcept {
        if (block_) block_->refs.fetch_add(1, std::memory_order_relaxed);
    }
    void release() noexcept {
        if (block_ && block_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete block_;
    }
    Block* block_ = nullptr;
};

}  // namespace tablomir
