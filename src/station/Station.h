#pragma once
// A production-line station: every port looks for a unit, provisions the one it finds
// with the station's recipe, waits for it to leave, and looks again. One thread per port,
// so that a hung unit never holds another port, and one ledger connection for them all,
// whose changes commit together. No Qt: the station window and imgdl station drive the
// same engine.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ledger/Ledger.h"
#include "station/PortState.h"
#include "station/StationConfig.h"
#include "units/ImageSnapshot.h"

namespace imgdl::station {

// Told of every move of every port, on that port's thread; must not wait long.
class PortListener {
  public:
    virtual ~PortListener() = default;
    virtual void portChanged(const PortEvent& event) = 0;
};

class Station {
  public:
    Station(StationConfig config, std::shared_ptr<const units::ImageSnapshot> image,
            PortListener& listener);
    ~Station();  // stops looking, waits for every port's thread
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Opens the ledger connection, then starts the ports. Nothing starts when a
    // connection cannot be opened.
    ledger::LedgerError start();
    // Ports stop looking for units; a unit already working goes on to its end.
    void stopLooking();
    // True once no port is working, or false after `bound`.
    bool waitUntilNoneWorking(std::chrono::milliseconds bound);
    // Units that ended (done or failed) since the start.
    std::size_t unitsEnded() const { return ended_; }
    std::size_t unitsFailed() const { return failed_; }
    // Waits until `count` units have ended, a stop, or `bound`.
    bool waitForUnits(std::size_t count, std::chrono::milliseconds bound);

    // A person's controls, from any thread; a port name that is not one does nothing.
    // Ends the working unit's session within a second; its row follows the ledger's rule.
    void cancel(const std::string& port);
    void cancelAll();
    // A failed unit still on its port is provisioned again.
    void retry(const std::string& port);
    // A disabled port finishes its unit, then looks for none until enabled.
    void setEnabled(const std::string& port, bool enabled);
    // No port looks for a new unit while paused; working units go on.
    void pause();
    void resume();
    bool paused() const { return paused_; }

  private:
    struct Port;
    enum class AfterUnit { Gone, Retry, Stopped };
    void runPort(Port& port);
    void provision(Port& port);
    bool alreadyProvisioned(Port& port);
    void emit(Port& port, PortState state);
    // Waiting, told once, with what keeps the port from looking (empty: nothing).
    void waitingFor(Port& port, const std::string& hold);
    // Sleeps `time` unless the station stops looking first; false then.
    bool rest(std::chrono::milliseconds time);
    // Sleeps `time` unless the station stops or a control changes after `seen` (from
    // controlsSeen(), read before the controls were looked at); false when stopping.
    std::uint64_t controlsSeen();
    bool nap(std::chrono::milliseconds time, std::uint64_t seen);
    void controlChanged();
    Port* find(const std::string& name);
    AfterUnit waitUntilGone(Port& port, bool failed);
    // The label of a unit just done, as the configuration asks; told in the port's event.
    void label(Port& port, const ledger::Allocation& unit, const units::UnitOrigin& origin);

    StationConfig config_;
    units::UnitPlan plan_;
    PortListener& listener_;
    std::vector<std::unique_ptr<Port>> ports_;
    std::mutex mutex_;
    // Two signals, so that a unit ending does not wake every napping port.
    std::condition_variable controlsChanged_;  // stopping, a control: the ports' naps
    std::condition_variable unitsChanged_;     // stopping, a unit started or ended
    std::atomic<bool> stopping_{false};
    std::atomic<bool> paused_{false};
    std::uint64_t controls_ = 0;  // changes of any control, under mutex_
    std::atomic<std::size_t> ended_{0}, failed_{0}, working_{0};
};

}  // namespace imgdl::station
