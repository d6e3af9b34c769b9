#pragma once

#include <QByteArray>

// An addressee of reply buffers from the phone: every tool tab, the phone panel and the archive
// reply handler. The reply dispatch of the link routes each buffer by its `Name` byte to one of
// them; the tool tabs of the main window implement it, so it lives below the link.
namespace telmira {

class ReplyAddressee {
public:
    virtual ~ReplyAddressee();
    virtual void CommandReply(const QByteArray& buffer) = 0;
};

} // namespace telmira
