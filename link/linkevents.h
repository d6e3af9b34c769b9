#pragma once

#include <QByteArray>
#include <QEvent>
#include <QString>

#include <memory>

class QObject;

// The events the link thread posts to the main window. Each event owns its payload.
namespace telmira::link {

enum LinkEventType : int {
    kReplyEvent = 1109,     // reply buffer or event items from the phone
    kTraceEvent = 1110,     // trace text for the debug window
    kLinkStateEvent = 1111, // the link came up or was lost; the receiver reads the link state
    kErrorEvent = 1113,     // error text for a message box
    kCursorEvent = 1120,    // set the mouse cursor (0 the default cursor, 5 busy)
};

class ReplyEvent : public QEvent {
public:
    explicit ReplyEvent(QByteArray buffer)
        : QEvent(QEvent::Type(kReplyEvent)), buffer_(std::move(buffer)) {}
    const QByteArray& buffer() const { return buffer_; }

private:
    QByteArray buffer_;
};

// Trace (1110) and error (1113) texts.
class TextEvent : public QEvent {
public:
    TextEvent(LinkEventType type, QString text)
        : QEvent(QEvent::Type(type)), text_(std::move(text)) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

class LinkStateEvent : public QEvent {
public:
    LinkStateEvent() : QEvent(QEvent::Type(kLinkStateEvent)) {}
};

class CursorEvent : public QEvent {
public:
    explicit CursorEvent(int cursor) : QEvent(QEvent::Type(kCursorEvent)), cursor_(cursor) {}
    int cursor() const { return cursor_; }

private:
    int cursor_;
};

// Where the link delivers its events.
class LinkSink {
public:
    virtual ~LinkSink();
    virtual void post(std::unique_ptr<QEvent> event) = 0;
};

// Posts to a receiver object (the main window) with QCoreApplication::postEvent; the receiver
// must outlive the link thread. Without a receiver events are dropped.
class PostingSink : public LinkSink {
public:
    explicit PostingSink(QObject* receiver) : receiver_(receiver) {}
    void post(std::unique_ptr<QEvent> event) override;

private:
    QObject* receiver_;
};

} // namespace telmira::link
