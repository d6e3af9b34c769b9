// Reply frames from the phone: the link reads them, splits their items and hands the buffers
// to the dispatch. Arbitrary bytes must never read out of bounds or crash either side.
#include "link/dispatch.h"
#include "link/numbercodes.h"
#include "link/protocol.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

using namespace telmira::link;

namespace {

// A main window that accepts everything and walks what it gets, as the tools will.
class Host : public DispatchHost {
public:
    struct Addressee : ReplyAddressee {
        void CommandReply(const QByteArray& buffer) override {
            for (const Item& item : bufferItems(buffer))
                decodeCountedDigits(item.data);
        }
    };
    Addressee addressee;
    ReplyAddressee* openTool(int) override { return &addressee; }
    ReplyAddressee* phonePanel() override { return &addressee; }
    ReplyAddressee* archiveHandler() override { return &addressee; }
    bool beginAnsweringMachineSummary() override { return true; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // The reader takes two bytes, then as many as the header asks for.
    if (input.size() >= 2) {
        const int more = replyBytesAfterFirstTwo(static_cast<std::uint8_t>(input[0]),
                                                 static_cast<std::uint8_t>(input[1]));
        const ReplyFrame reply = decodeReplyFrame(input.left(2 + more));
        const ItemList items = splitItems(reply.payload);
        const QByteArray buffer = replyBuffer(items, reply.status, 0x3D, 8);
        if (bufferItems(buffer.left(buffer.size() - 3)).size() != items.size())
            __builtin_trap();
    }

    // The whole input as a payload and as a posted buffer.
    splitItems(input);
    LinkShared link;
    link.connected = true;
    link.answeringMachine = true;
    link.answeringMachineRefresh = true;
    Host host;
    ReplyDispatcher dispatcher(link, host, nullptr);
    dispatcher.Dispatch(input);
    decodeEventNumber(input);
    decodeCountedDigits(input);
    return 0;
}
