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
#include <utility>

#include "memory.hpp"

namespace tablomir {

// The reader-writer lock of every record: one 32-bit word. Bit 31 marks a
// writer (holding the lock, or waiting for readers to drain: a stream of
// readers cannot starve it), bit 30 marks threads asleep on the word, the
// low bits count readers. Uncontended, locking and unlocking are one atomic
// operation each; a contended thread spins briefly, then sleeps on the word
// (a futex) so that long holders, such as an export of a large sheet, do not
// keep waiters busy.
class RwLock {
public:
    void lock() noexcept {
        uint32_t expected = 0;
        if (!state_.compare_exchange_strong(expected, kWriter, std::memory_order_acquire,
                                            std::memory_order_relaxed))
            lock_slow();
    }
    void unlock() noexcept {
        if (state_.exchange(0, std::memory_order_release) & kSleeper) state_.notify_all();
    }
    void lock_shared() noexcept {
        uint32_t expected = state_.load(std::memory_order_relaxed);
        if ((expected & kWriter) ||
            !state_.compare_exchange_weak(expected, expected + 1, std::memory_order_acquire,
                                          std::memory_order_relaxed))
            lock_shared_slow();
    }
    void unlock_shared() noexcept {
        const uint32_t before = state_.fetch_sub(1, std::memory_order_release);
        // The last reader out wakes a writer waiting for the drain.
        if ((before & kReaders) == 1 && (before & kSleeper)) state_.notify_all();
    }

private:
    static constexpr uint32_t kWriter = 0x80000000u;
    static constexpr uint32_t kSleeper = 0x40000000u;
    static constexpr uint32_t kReaders = 0x3FFFFFFFu;
    static constexpr unsigned kSpins = 100;

    // Waits until `busy(state)` is false, spinning first, then sleeping.
    template <class Busy>
    uint32_t wait_while(Busy busy) noexcept {
        uint32_t s = state_.load(std::memory_order_relaxed);
        for (unsigned spins = 0; busy(s); s = state_.load(std::memory_order_relaxed)) {
            if (++spins < kSpins) continue;
            if (!(s & kSleeper) &&
                !state_.compare_exchange_weak(s, s | kSleeper, std::memory_order_relaxed))
                continue;
            state_.wait(s | kSleeper, std::memory_order_relaxed);
        }
        return s;
    }

    void lock_slow() noexcept {
        // Claim the writer bit, then wait for the readers to leave.
        for (;;) {
            uint32_t s = wait_while([](uint32_t v) { return (v & kWriter) != 0; });
            if (state_.compare_exchange_weak(s, s | kWriter, std::memory_order_acquire,
                                             std::memory_order_relaxed))
                break;
        }
        wait_while([](uint32_t v) { return (v & kReaders) != 0; });
        std::atomic_thread_fence(std::memory_order_acquire);
    }

    void lock_shared_slow() noexcept {
        for (;;) {
            uint32_t s = wait_while([](uint32_t v) { return (v & kWriter) != 0; });
            if (state_.compare_exchange_weak(s, s + 1, std::memory_order_acquire,
                                             std::memory_order_relaxed))
                return;
        }
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

template <class T, class Lock = RwLock>
class Shared {
    struct Block {
        template <class... A>
        explicit Block(A&&... args) : value(std::forward<A>(args)...) {}
        static void* operator new(size_t bytes) { return RecordMemory<T>::allocate(bytes); }
        static void operator delete(void* p) noexcept { RecordMemory<T>::release(p); }
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

    // A non-owning reference to the record, for walks that hold the lock of
    // the container that owns the handle (so the record cannot go away);
    // it carries no count, so taking one never touches the record's memory.
    class Borrowed {
    public:
        Read read() const { return Read(block_->lock, block_->value); }
        Write write() const { return Write(block_->lock, block_->value); }
        // Asks for the record's memory ahead of a read, for scans that
        // visit records in an order the hardware cannot predict.
        void prefetch() const noexcept { __builtin_prefetch(block_); }
        // A counted handle to the same record.
        Shared share() const noexcept {
            block_->refs.fetch_add(1, std::memory_order_relaxed);
            return Shared(block_);
        }

    private:
        friend class Shared;
        explicit Borrowed(Block* b) noexcept : block_(b) {}
        Block* block_;
    };
    Borrowed borrow() const noexcept { return Borrowed(block_); }

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
