#pragma once
// Carries a worker's reports into the Qt event queue of a window: each report becomes a
// posted SessionEventMessage, handled on the window's thread in the order reported. The
// sink can be cut off from its window, after which reports are dropped, so a worker that
// outlives the window never touches it.
#include <QEvent>
#include <QObject>
#include <mutex>
#include <string>

#include "session/DownloadJob.h"

namespace imgdl {

class SessionEventMessage : public QEvent {
  public:
    enum class Kind { Stage, Progress, Error };

    SessionEventMessage(Kind kind, std::uint32_t value, std::string cause = {})
        : QEvent(eventType()), kind_(kind), value_(value), cause_(std::move(cause)) {}
    static QEvent::Type eventType();
    Kind kind() const { return kind_; }
    // The stage, the percentage or the error code.
    std::uint32_t value() const { return value_; }
    // With Error: why the session failed, as the worker said (may be empty).
    const std::string& cause() const { return cause_; }

  private:
    Kind kind_;
    std::uint32_t value_;
    std::string cause_;
};

class QtDownloadSink final : public DownloadSink {
  public:
    explicit QtDownloadSink(QObject* target) : target_(target) {}
    // Any thread: each posts without waiting for the window.
    void stage(int stage) override;
    void progress(std::uint32_t percent) override;
    void error(int code) override;
    void failed(const SessionCause& cause) override;
    // The window's thread, before the window goes: no report reaches it afterwards.
    void detach();

  private:
    void post(SessionEventMessage::Kind kind, std::uint32_t value, std::string cause = {});

    std::mutex mutex_;
    QObject* target_;
    std::string cause_;  // the worker's last word on why, sent with its error
};

}  // namespace imgdl
