#include "ayvex/fxm.h"

#include "ayvex/bytes.h"

#include <algorithm>

namespace ayvex {

namespace {

constexpr std::uint32_t kDataAt = 6; // module offset of the load address
constexpr std::uint32_t kMarkedJump = 0x8F;

// Command lengths in bytes; 0 for a byte the player does not know.
std::uint32_t commandLength(std::uint8_t d) {
    if (d <= 0x54)
        return 2;
    switch (d) {
    case 0x80:
    case 0x81:
    case 0x86:
    case 0x87:
        return 3;
    case 0x82:
    case 0x84:
    case 0x85:
    case 0x88:
    case 0x8D:
    case 0x8E:
        return 2;
    case 0x83:
    case 0x89:
    case 0x8A:
    case 0x8B:
        return 1;
    default:
        return 0;
    }
}

std::string hexAddress(std::uint32_t address) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0000h";
    for (int i = 3; i >= 0; --i) {
        text[std::size_t(i)] = digits[address & 0xF];
        address >>= 4;
    }
    return text;
}

struct Entry {
    enum Kind : std::uint8_t { Return, LoopPosition, LoopCount } kind;
    std::uint16_t value;
    // Names the stack's contents up to this entry: every push and every change of a loop count
    // makes a new state; 0 is the empty stack.
    std::uint32_t state = 0;
};

class FxmWalker {
public:
    FxmWalker(std::span<const std::uint8_t> module, FxmConversion& out)
        : module_(module), load_(std::uint32_t(module[4] | module[5] << 8)),
          // Module bytes are addressable only below 64 KB.
          bytes_(module, 0x10000 - load_ + kDataAt), out_(out) {}

    // Walks one channel from its start; false with status and error set when it fails.
    bool walk(int channel);
    const std::vector<Entry>& stack() const { return stack_; }
    std::uint32_t markAt() const { return markAt_; }

private:
    bool fail(int status, std::string why) {
        out_.status = status;
        out_.error = std::string("channel ") + char('A' + channel_) + ": " + why;
        return false;
    }
    bool push(Entry entry, std::uint32_t at);
    bool addReturnPoint(std::uint32_t address);

    std::span<const std::uint8_t> module_;
    std::uint32_t load_;
    Bytes bytes_;
    FxmConversion& out_;
    int channel_ = 0;
    std::vector<Entry> stack_;
    std::uint32_t markAt_ = 0;
    std::uint32_t lastState_ = 0;
    std::vector<std::uint32_t> seenInState_; // per address: the stack state it last ran in
    std::vector<bool> isReturnPoint_ = std::vector<bool>(0x10001, false);
};

bool FxmWalker::push(Entry entry, std::uint32_t at) {
    if (stack_.size() >= kFxmMaxStack)
        return fail(kFxmStackOverflow, "more than " + std::to_string(kFxmMaxStack) +
                                           " stack entries at " + hexAddress(at));
    entry.state = ++lastState_;
    stack_.push_back(entry);
    out_.depth[std::size_t(channel_)] =
        std::max<std::uint8_t>(out_.depth[std::size_t(channel_)], std::uint8_t(stack_.size()));
    return true;
}

bool FxmWalker::addReturnPoint(std::uint32_t address) {
    auto& points = out_.returnPoints;
    if (isReturnPoint_[address])
        return true;
    if (points.size() >= kFxmMaxReturnPoints)
        return fail(kFxmTooManyReturns,
                    "more than " + std::to_string(kFxmMaxReturnPoints) + " return points");
    isReturnPoint_[address] = true;
    points.push_back(std::uint16_t(address));
    return true;
}

// Follows the program as the player runs it, loop counts included, until the jump back to the
// channel's start. The walk is determined by the address and the stack: coming back to an
// address with the stack unchanged since it ran there means the program goes round for ever
// without passing its start. Running longer than any song is taken the same way.
bool FxmWalker::walk(int channel) {
    channel_ = channel;
    stack_.clear();
    constexpr std::uint32_t never = 0xFFFFFFFF;
    seenInState_.assign(0x10000, never);
    const std::size_t entry = kDataAt + 2 * std::size_t(channel);
    const std::uint32_t start = std::uint32_t(module_[entry] | module_[entry + 1] << 8);
    std::uint32_t pc = start;
    for (std::uint32_t steps = 0;; ++steps) {
        if (steps >= kFxmMaxWalkSteps)
            return fail(kFxmNoLoopToStart,
                        "the program runs longer than any song without coming back to its start");
        if (pc < load_ || !bytes_.has(pc - load_ + kDataAt, 1))
            return fail(kFxmOutsideModule,
                        "the program leads outside the module at " + hexAddress(pc));
        const std::uint32_t at = pc - load_ + kDataAt;
        const std::uint32_t state = stack_.empty() ? 0 : stack_.back().state;
        if (seenInState_[pc] == state)
            return fail(kFxmNoLoopToStart,
                        "the program comes back to " + hexAddress(pc) + " instead of its start");
        seenInState_[pc] = state;
        const std::uint8_t d = bytes_.at(at);
        const std::uint32_t length = commandLength(d);
        if (length == 0)
            return fail(kFxmInvalidCommand,
                        "invalid command " + hexAddress(d).substr(2, 2) + "h at " + hexAddress(pc));
        if (!bytes_.has(at, length))
            return fail(kFxmOutsideModule,
                        "the command at " + hexAddress(pc) + " runs past the end of the module");
        const std::uint32_t next = pc + length;
        const std::uint32_t target = length == 3 ? bytes_.word(at + 1) : 0;
        switch (d) {
        case 0x80:
            if (target == start) {
                if (channel == 0)
                    markAt_ = at;
                return true;
            }
            pc = target;
            break;
        case 0x81:
            if (!addReturnPoint(next) || !push({Entry::Return, std::uint16_t(next)}, pc))
                return false;
            pc = target;
            break;
        case 0x82: {
            const std::uint8_t count = bytes_.at(at + 1);
            if (count == 0)
                return fail(kFxmLoopCountZero, "a loop with the count 0 at " + hexAddress(pc));
            if (!addReturnPoint(next) || !push({Entry::LoopPosition, std::uint16_t(next)}, pc) ||
                !push({Entry::LoopCount, count}, pc))
                return false;
            pc = next;
            break;
        }
        case 0x83: {
            if (stack_.size() < 2 || stack_.back().kind != Entry::LoopCount)
                return fail(kFxmStackMismatch,
                            "a loop end without its loop start at " + hexAddress(pc));
            const std::uint8_t count = std::uint8_t(stack_.back().value - 1);
            if (count != 0) {
                stack_.back().value = count;
                stack_.back().state = ++lastState_;
                pc = stack_[stack_.size() - 2].value;
            } else {
                stack_.resize(stack_.size() - 2);
                pc = next;
            }
            break;
        }
        case 0x89:
            if (stack_.empty() || stack_.back().kind != Entry::Return)
                return fail(kFxmStackMismatch, "a return without its call at " + hexAddress(pc));
            pc = stack_.back().value;
            stack_.pop_back();
            break;
        default:
            pc = next;
            break;
        }
    }
}

} // namespace

bool hasFxmMagic(std::span<const std::uint8_t> module) {
    return module.size() >= 4 && module[0] == 'F' && module[1] == 'X' && module[2] == 'S' &&
           module[3] == 'M';
}

FxmConversion convertFxm(std::span<const std::uint8_t> module) {
    FxmConversion out;
    if (!hasFxmMagic(module)) {
        out.status = kFxmNotFxm;
        out.error = "the module does not start with FXSM";
        return out;
    }
    if (module.size() < kDataAt + 6) {
        out.status = kFxmOutsideModule;
        out.error = "the module is shorter than its header";
        return out;
    }
    if (module.size() + 2 > 0xFFFF) {
        out.status = kFxmTooLarge;
        out.error = "the module is too large";
        return out;
    }
    FxmWalker walker(module, out);
    std::array<bool, 3> stackEmpty{};
    std::uint32_t markAt = 0;
    for (int channel = 0; channel < 3; ++channel) {
        if (!walker.walk(channel))
            return out;
        stackEmpty[std::size_t(channel)] = walker.stack().empty();
        if (channel == 0)
            markAt = walker.markAt();
    }
    for (int channel = 0; channel < 3; ++channel)
        if (!stackEmpty[std::size_t(channel)]) {
            out.status = kFxmStackNotEmpty;
            out.error = std::string("channel ") + char('A' + channel) +
                        " jumps back to its start inside a call or a loop";
            return out;
        }
    if (unsigned(out.depth[0]) + out.depth[1] + out.depth[2] > kFxmMaxDepthSum) {
        out.status = kFxmTooDeep;
        out.error =
            "the channels' stacks together grow deeper than " + std::to_string(kFxmMaxDepthSum);
        return out;
    }

    const std::uint32_t size = std::uint32_t(module.size());
    const std::uint32_t load = std::uint32_t(module[4] | module[5] << 8);
    const std::uint32_t negatedLoad = (0x10000 - load) & 0xFFFF;
    auto& file = out.file;
    file = {0,
            0,
            std::uint8_t((size + 2) >> 8),
            std::uint8_t(size + 2),
            out.depth[0],
            out.depth[1],
            std::uint8_t(negatedLoad >> 8),
            std::uint8_t(negatedLoad)};
    file.insert(file.end(), module.begin() + kDataAt, module.end());
    file[markAt - kDataAt + 8] = kMarkedJump;
    for (std::uint16_t point : out.returnPoints) {
        file.push_back(std::uint8_t(point >> 8));
        file.push_back(std::uint8_t(point));
    }
    return out;
}

} // namespace ayvex
