#include "app/DownloadEventSink.h"

#include <QCoreApplication>

namespace imgdl {

QEvent::Type SessionEventMessage::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void QtDownloadSink::stage(int stage) {
    post(SessionEventMessage::Kind::Stage, static_cast<std::uint32_t>(stage));
}

void QtDownloadSink::progress(std::uint32_t percent) {
    post(SessionEventMessage::Kind::Progress, percent);
}

void QtDownloadSink::error(int code) {
    std::string cause;
    {
        std::lock_guard lock(mutex_);
        cause = cause_;
    }
    post(SessionEventMessage::Kind::Error, static_cast<std::uint32_t>(code), std::move(cause));
}

void QtDownloadSink::failed(const SessionCause& cause) {
    std::lock_guard lock(mutex_);
    cause_ = cause.text;
}

void QtDownloadSink::post(SessionEventMessage::Kind kind, std::uint32_t value, std::string cause) {
    // Held while posting, so detach() cannot return between the check and the post.
    std::lock_guard lock(mutex_);
    if (target_)
        QCoreApplication::postEvent(target_,
                                    new SessionEventMessage(kind, value, std::move(cause)));
}

void QtDownloadSink::detach() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
}

}  // namespace imgdl
