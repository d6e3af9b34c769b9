#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace telmira::compiler {

// The heuristic that spreads the objects of a melody set (instrument table, samples, songs)
// over the melody areas of a ROM image. Every object has a penalty per area, 0 at first.
// Iteration f = 0, 1, ...: every area gets its whole room back and every object is unassigned;
// then for each area d in order, with r = (f + d) mod (number of areas), the unassigned object
// that fits the room with the smallest penalty for d (on equal penalties the larger, on equal
// sizes the later object) is assigned to d, its penalty for d grows by r and the room shrinks,
// until no object fits. The first iteration that assigns every object is the fit.
inline constexpr std::uint32_t kMaxAllocationIterations = 0x800000;
// The iterations are also bounded by the work they take (objects x areas per iteration), so a
// set that cannot be placed fails within seconds, not hours.
inline constexpr std::uint64_t kMaxAllocationWork = std::uint64_t{1} << 31;

struct Allocation {
    std::optional<std::vector<std::size_t>> areaOf; // per object; nothing when no fit was found
    std::uint32_t iterations = 0;                   // iterations run
};

// Objects of size 0 take no room and are given the first area at once.
Allocation allocateObjects(const std::vector<std::uint32_t>& sizes,
                           const std::vector<std::uint32_t>& rooms,
                           std::uint32_t maxIterations = kMaxAllocationIterations);

} // namespace telmira::compiler
