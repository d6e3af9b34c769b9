#include "link/linkevents.h"

#include <QCoreApplication>

namespace telmira::link {

LinkSink::~LinkSink() = default;

void PostingSink::post(std::unique_ptr<QEvent> event) {
    if (receiver_)
        QCoreApplication::postEvent(receiver_, event.release());
}

} // namespace telmira::link
