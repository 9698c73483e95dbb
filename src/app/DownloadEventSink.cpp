#include "app/DownloadEventSink.h"

#include <QCoreApplication>

namespace imgdl {

QEvent::Type DownloadMessageEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void QtDownloadSink::post(std::uint32_t message, std::uint32_t wParam) {
    // Held while posting, so detach() cannot return between the check and the post.
    std::lock_guard lock(mutex_);
    if (target_) QCoreApplication::postEvent(target_, new DownloadMessageEvent(message, wParam));
}

void QtDownloadSink::detach() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
}

}  // namespace imgdl
