#pragma once

#include <array>
#include <cstdint>

// XTEA block cipher: 64-bit blocks held as two 32-bit words, a 128-bit key held as four words,
// 32 cycles with the delta 0x9E3779B9. The ROM images' control structure and the compiler's
// data key use it.
namespace telmira {

using XteaKey = std::array<std::uint32_t, 4>;
using XteaBlock = std::array<std::uint32_t, 2>;

XteaBlock xteaEncipher(XteaBlock block, const XteaKey& key);
XteaBlock xteaDecipher(XteaBlock block, const XteaKey& key);

} // namespace telmira
