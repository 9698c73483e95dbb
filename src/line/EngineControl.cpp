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
    // TODO: wire to Station::cancel once the engine has it.
    void cancel(const std::string&) override {}
    // TODO: wire to Station::retry once the engine has it.
    void retry(const std::string&) override {}
    // TODO: wire to Station::setEnabled once the engine has it.
    void setEnabled(const std::string&, bool) override {}
    // TODO: wire to Station::pause, resume and paused once the engine has them.
    void pause() override {}
    void resume() override {}
    bool paused() const override { return false; }

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
