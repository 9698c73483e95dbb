#pragma once
// Carries a worker's session messages into the Qt event queue of a window: each message
// becomes a posted DownloadMessageEvent, handled on the window's thread in the order
// posted. The sink can be cut off from its window, after which posts are dropped, so a
// worker that outlives the window never touches it.
#include <QEvent>
#include <QObject>
#include <mutex>

#include "session/DownloadJob.h"

namespace imgdl {

class DownloadMessageEvent : public QEvent {
  public:
    DownloadMessageEvent(std::uint32_t message, std::uint32_t wParam)
        : QEvent(eventType()), message_(message), wParam_(wParam) {}
    static QEvent::Type eventType();
    std::uint32_t message() const { return message_; }
    std::uint32_t wParam() const { return wParam_; }

  private:
    std::uint32_t message_;
    std::uint32_t wParam_;
};

class QtDownloadSink final : public DownloadSink {
  public:
    explicit QtDownloadSink(QObject* target) : target_(target) {}
    // Any thread: posts without waiting for the window.
    void post(std::uint32_t message, std::uint32_t wParam) override;
    // The window's thread, before the window goes: no post reaches it afterwards.
    void detach();

  private:
    std::mutex mutex_;
    QObject* target_;
};

}  // namespace imgdl
