#include "base/xtea.h"

namespace telmira {

namespace {
constexpr std::uint32_t kDelta = 0x9E3779B9;
constexpr unsigned kCycles = 32;

std::uint32_t mix(std::uint32_t v) {
    return ((v << 4) ^ (v >> 5)) + v;
}
} // namespace

XteaBlock xteaEncipher(XteaBlock block, const XteaKey& key) {
    auto [v0, v1] = block;
    std::uint32_t sum = 0;
    for (unsigned i = 0; i < kCycles; ++i) {
        v0 += mix(v1) ^ (sum + key[sum & 3]);
        sum += kDelta;
        v1 += mix(v0) ^ (sum + key[(sum >> 11) & 3]);
    }
    return {v0, v1};
}

XteaBlock xteaDecipher(XteaBlock block, const XteaKey& key) {
    auto [v0, v1] = block;
    std::uint32_t sum = kDelta * kCycles;
    for (unsigned i = 0; i < kCycles; ++i) {
        v1 -= mix(v0) ^ (sum + key[(sum >> 11) & 3]);
        sum -= kDelta;
        v0 -= mix(v1) ^ (sum + key[sum & 3]);
    }
    return {v0, v1};
}

} // namespace telmira
