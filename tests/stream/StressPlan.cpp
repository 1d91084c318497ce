#include "tests/stream/StressPlan.h"

namespace kestrel::testing {

namespace {

uint32_t Mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352d;
    x ^= x >> 15;
    x *= 0x846ca68b;
    x ^= x >> 16;
    return x;
}

uint32_t SizeFor(uint32_t r) {
    uint32_t kind = r % 100;
    uint32_t v = r / 100;
    if (kind < 55) return StressPlan::kIdsSize + v % 64;              // most calls: a few words
    if (kind < 85) return 256 + v % 4096;                             // arrays, small uploads
    if (kind < 98) return 16384 + v % (128 * 1024);                   // buffer uploads
    if (kind < 99) return StressPlan::kRingCapacity - 16;              // a header and payload exactly fill
    return StressPlan::kRingCapacity + v % (StressPlan::kMaxPayload - StressPlan::kRingCapacity);
}

}  // namespace

StressPlan::StressPlan(uint32_t threads, uint64_t totalBytes) : sizes_(threads), table_(2 * kMaxPayload) {
    uint32_t x = 0x9E3779B9;
    for (uint8_t& b : table_) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    for (uint32_t t = 0; t < threads; ++t) {
        uint64_t bytes = 0;
        for (uint32_t seq = 0; bytes < totalBytes / threads; ++seq) {
            uint32_t size = SizeFor(Mix(t * 0x10001 + seq * 0x9E3779B1u));
            sizes_[t].push_back(size);
            bytes += 16 + size;
        }
        streamBytes_ += bytes;
    }
}

const uint8_t* StressPlan::Body(uint32_t thread, uint32_t seq) const {
    return table_.data() + Mix(thread ^ (seq << 8) ^ 0xABCD1234u) % (table_.size() - kMaxPayload);
}

}  // namespace kestrel::testing
