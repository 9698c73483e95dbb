#pragma once
// What the line window asks of a station. The window is written against this, so that
// its tests can drive a stand-in as well as the real engine (EngineControl.h).
#include <string>

namespace imgdl::line {

class StationControl {
  public:
    virtual ~StationControl() = default;
    // Starts every port; the reason when nothing could start.
    virtual std::string start() = 0;
    // Ports stop looking for units; working units go on to their end.
    virtual void stop() = 0;
    // Ends the working unit's session on `port` (the ledger's rule decides its row).
    virtual void cancel(const std::string& port) = 0;
    // A failed port looks for its unit again.
    virtual void retry(const std::string& port) = 0;
    virtual void setEnabled(const std::string& port, bool enabled) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual bool paused() const = 0;
};

}  // namespace imgdl::line
