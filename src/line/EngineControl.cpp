#include "line/EngineControl.h"

namespace imgdl::line {
namespace {

class EngineControl final : public StationControl {
  public:
    EngineControl(station::StationConfig config, std::shared_ptr<const units::ImageSnapshot> image,
                  station::PortListener& listener)
        : station_(std::move(config), std::move(image), listener) {}

    std::string start() override {
        const auto e = station_.start();
        return e.failed() ? e.message : std::string();
    }
    void stop() override { station_.stopLooking(); }
    void cancel(const std::string& port) override { station_.cancel(port); }
    void retry(const std::string& port) override { station_.retry(port); }
    void setEnabled(const std::string& port, bool enabled) override {
        station_.setEnabled(port, enabled);
    }
    void pause() override { station_.pause(); }
    void resume() override { station_.resume(); }
    bool paused() const override { return station_.paused(); }

  private:
    station::Station station_;
};

}  // namespace

std::unique_ptr<StationControl> MakeEngineControl(station::StationConfig config,
                                                  std::shared_ptr<const units::ImageSnapshot> image,
                                                  station::PortListener& listener) {
    return std::make_unique<EngineControl>(std::move(config), std::move(image), listener);
}

}  // namespace imgdl::line
