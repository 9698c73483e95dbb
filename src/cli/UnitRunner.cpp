#include "UnitRunner.h"

#include "ConnectRetry.h"
#include "session/DownloadProtocol.h"
#include "session/SessionThread.h"

namespace imgdl::cli {
namespace {

// Watches a session carrying the unit's identity for the start of its payload.
class PayloadWatch final : public DownloadSink {
  public:
    explicit PayloadWatch(std::shared_ptr<UnitRunner::State> state) : state_(std::move(state)) {}
    void stage(int stage) override {
        if (stage != STAGE_SENDING || state_->payloadStarted) return;
        state_->payloadStarted = true;
        const auto e = state_->ledger->markUncertain(state_->unitId, "payload started");
        if (e.failed()) state_->ledgerError = e.message;
    }
    void progress(std::uint32_t) override {}
    void error(int) override {}

  private:
    std::shared_ptr<UnitRunner::State> state_;
};

}  // namespace

UnitRunner::UnitRunner(std::shared_ptr<ledger::Ledger> ledger, std::int64_t unitId,
                       const SessionLimits& limits, std::FILE* err)
    : state_(std::make_shared<State>()), limits_(limits), err_(err) {
    state_->ledger = std::move(ledger);
    state_->unitId = unitId;
}

std::string UnitRunner::ledgerError() const {
    return state_->ledgerError;
}

int UnitRunner::run(const SessionRequest& request) {
    DownloadJob job = MakeDownloadJob(request);
    job.timeouts = limits_.timeouts;
    // The version check sends a version word, nothing of the unit's own.
    if (request.command != CMD_FIRMWARE_VERSION)
        job.window = std::make_shared<PayloadWatch>(state_);
    const std::string target = request.targetAddress + ":" + std::to_string(request.targetPort);
    const SessionOutcome outcome =
        RunWithConnectRetries(job, limits_.retries, [&](std::chrono::milliseconds wait) {
            std::fprintf(err_, "imgdl: no connection to %s, trying again in %.1f s\n",
                         target.c_str(), static_cast<double>(wait.count()) / 1000);
        });
    return outcome.error;
}

}  // namespace imgdl::cli
