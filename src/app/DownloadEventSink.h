#pragma once
// Carries a worker's reports into the Qt event queue of a window: each report becomes a
// posted SessionEventMessage, handled on the window's thread in the order reported. The
// sink can be cut off from its window, after which reports are dropped, so a worker that
// outlives the window never touches it.
#include <QEvent>
#include <QObject>
#include <mutex>

#include "session/DownloadJob.h"

namespace imgdl {

class SessionEventMessage : public QEvent {
  public:
    enum class Kind { Stage, Progress, Error };

    SessionEventMessage(Kind kind, std::uint32_t value)
        : QEvent(eventType()), kind_(kind), value_(value) {}
    static QEvent::Type eventType();
    Kind kind() const { return kind_; }
    // The stage, the percentage or the error code.
    std::uint32_t value() const { return value_; }

  private:
    Kind kind_;
    std::uint32_t value_;
};

class QtDownloadSink final : public DownloadSink {
  public:
    explicit QtDownloadSink(QObject* target) : target_(target) {}
    // Any thread: each posts without waiting for the window.
    void stage(int stage) override;
    void progress(std::uint32_t percent) override;
    void error(int code) override;
    // The window's thread, before the window goes: no report reaches it afterwards.
    void detach();

  private:
    void post(SessionEventMessage::Kind kind, std::uint32_t value);

    std::mutex mutex_;
    QObject* target_;
};

}  // namespace imgdl
