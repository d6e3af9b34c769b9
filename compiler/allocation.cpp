#include "compiler/allocation.h"

#include <algorithm>
#include <numeric>

namespace telmira::compiler {

Allocation allocateObjects(const std::vector<std::uint32_t>& sizes,
                           const std::vector<std::uint32_t>& rooms, std::uint32_t maxIterations) {
    Allocation result;
    const std::size_t areas = rooms.size();
    std::vector<std::size_t> areaOf(sizes.size(), 0);
    std::vector<std::size_t> placed; // the objects that take room
    for (std::size_t o = 0; o < sizes.size(); ++o)
        if (sizes[o] > 0)
            placed.push_back(o);
    if (placed.empty()) {
        result.areaOf = std::move(areaOf);
        result.iterations = 1;
        return result;
    }
    if (areas == 0)
        return result;
    // Sets no placement can hold fail at once: an object larger than every area, or more
    // objects larger than half of every area (no two of them can share one) than areas.
    const std::uint64_t largestRoom = *std::max_element(rooms.begin(), rooms.end());
    std::size_t halfAreaObjects = 0;
    for (const std::size_t o : placed) {
        if (sizes[o] > largestRoom)
            return result;
        if (2 * std::uint64_t{sizes[o]} > largestRoom)
            ++halfAreaObjects;
    }
    if (halfAreaObjects > areas)
        return result;

    const std::uint64_t work = std::uint64_t{placed.size()} * areas;
    const std::uint64_t budget = std::max<std::uint64_t>(1, kMaxAllocationWork / work);
    const auto iterations =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(maxIterations, budget));

    std::vector<std::uint64_t> penalty(sizes.size() * areas, 0);
    std::vector<char> assigned(sizes.size());
    std::vector<std::size_t> order;
    for (std::uint32_t f = 0; f < iterations; ++f) {
        result.iterations = f + 1;
        std::fill(assigned.begin(), assigned.end(), 0);
        std::size_t left = placed.size();
        for (std::size_t d = 0; d < areas && left > 0; ++d) {
            const std::uint64_t r = (std::uint64_t{f} + d) % areas;
            std::uint32_t room = rooms[d];
            order.clear();
            for (const std::size_t o : placed)
                if (!assigned[o])
                    order.push_back(o);
            // Taking the best object that fits, again and again, is one pass over the objects
            // in order of preference: one that did not fit never fits the smaller room later.
            std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
                const std::uint64_t pa = penalty[a * areas + d];
                const std::uint64_t pb = penalty[b * areas + d];
                if (pa != pb)
                    return pa < pb;
                if (sizes[a] != sizes[b])
                    return sizes[a] > sizes[b];
                return a > b;
            });
            for (const std::size_t o : order) {
                if (sizes[o] > room)
                    continue;
                assigned[o] = 1;
                areaOf[o] = d;
                penalty[o * areas + d] += r;
                room -= sizes[o];
                --left;
            }
        }
        if (left == 0) {
            result.areaOf = std::move(areaOf);
            return result;
        }
    }
    return result;
}

} // namespace telmira::compiler
