#include "hashing.hpp"

#include <atomic>
#include <random>

namespace tablomir {

uint64_t next_hash_seed() noexcept {
    static const uint64_t base = [] {
        std::random_device device;
        return (uint64_t(device()) << 32) ^ device();
    }();
    static std::atomic<uint64_t> counter{0};
    uint64_t z = base + counter.fetch_add(1, std::memory_order_relaxed) * 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

}  // namespace tablomir
