#pragma once
// A sink that records what a worker reports, and jobs aimed at the loopback simulator.
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "session/DownloadJob.h"

namespace imgdl::test {

// What a worker reported, one entry per call.
enum class Event { Stage, Progress, Error };

struct Posted {
    Event event;
    std::uint32_t value;
    std::chrono::steady_clock::time_point at;
    bool operator==(const Posted& o) const { return event == o.event && value == o.value; }
};

class RecordingSink : public DownloadSink {
  public:
    void stage(int stage) override { record(Event::Stage, static_cast<std::uint32_t>(stage)); }
    void progress(std::uint32_t percent) override { record(Event::Progress, percent); }
    void error(int code) override { record(Event::Error, static_cast<std::uint32_t>(code)); }
    std::vector<Posted> posted() const {
        std::lock_guard lock(mutex_);
        return posted_;
    }
    // Only the reports of one kind, as their values.
    std::vector<std::uint32_t> values(Event event) const {
        std::vector<std::uint32_t> out;
        for (const auto& p : posted())
            if (p.event == event) out.push_back(p.value);
        return out;
    }

  private:
    void record(Event event, std::uint32_t value) {
        std::lock_guard lock(mutex_);
        posted_.push_back({event, value, std::chrono::steady_clock::now()});
    }

    mutable std::mutex mutex_;
    std::vector<Posted> posted_;
};

// Short bounds so that every bounded wait fires within a fraction of a second.
inline SessionTimeouts FastTimeouts() {
    using std::chrono::milliseconds;
    SessionTimeouts t;
    t.connect = milliseconds(2000);
    t.writableWait = milliseconds(100);
    t.sendStall = milliseconds(300);
    t.handshakeReply = milliseconds(300);
    t.firstAck = milliseconds(300);
    t.writtenAck = milliseconds(300);
    t.closeDelay = milliseconds(0);
    return t;
}

inline std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

inline RecorderAddress Loopback(std::uint16_t port) {
    return RecorderAddress{{127, 0, 0, 1}, port, {}};
}

// A job to 127.0.0.1:port that owns a copy of the payload.
inline DownloadJob LoopbackJob(std::uint16_t port, std::uint32_t command,
                               std::vector<std::uint8_t> payload,
                               std::shared_ptr<DownloadSink> sink) {
    DownloadJob job;
    job.command = command;
    job.target = Loopback(port);
    auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(payload));
    job.payload = {*owned, owned};
    job.window = std::move(sink);
    job.timeouts = FastTimeouts();
    return job;
}

}  // namespace imgdl::test
