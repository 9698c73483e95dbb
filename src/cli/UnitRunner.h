#pragma once
// Runs the sessions of one provisioned unit and tells whether its payload may have
// reached the recorder. The ledger row is marked uncertain the moment the worker reports
// STAGE_SENDING of a session that carries the unit's identity, which it does just before
// the payload's first byte: a process killed during the payload leaves the row uncertain.
// Before that instant (connect, handshake, length echo, and the whole version check of an
// integrated image) nothing of the identity has left this machine.
#include <atomic>
#include <memory>
#include <string>

#include "CliArgs.h"
#include "flows/DownloadFlows.h"
#include "ledger/Ledger.h"

namespace imgdl::cli {

class UnitRunner final : public SessionRunner {
  public:
    UnitRunner(std::shared_ptr<ledger::Ledger> ledger, std::int64_t unitId,
               const SessionLimits& limits, std::FILE* err);
    int run(const SessionRequest& request) override;

    bool payloadStarted() const { return state_->payloadStarted; }
    // A failure of the ledger while marking the row (empty when none).
    std::string ledgerError() const;

    struct State {
        std::shared_ptr<ledger::Ledger> ledger;
        std::int64_t unitId = 0;
        std::atomic<bool> payloadStarted{false};
        std::string ledgerError;  // written by the session thread before it reports the end
    };

  private:
    std::shared_ptr<State> state_;
    SessionLimits limits_;
    std::FILE* err_;
};

}  // namespace imgdl::cli
