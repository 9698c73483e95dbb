#include "station/Station.h"

#include <pthread.h>

#include <filesystem>

#include "common/UtcTime.h"
#include "labels/UnitLabels.h"
#include "ledger/GroupLedger.h"
#include "ledger/MacRange.h"
#include "session/DownloadProtocol.h"
#include "station/Probe.h"

namespace imgdl::station {
namespace {

// The step of a unit's provisioning that a session of `command` is, as a bench says it.
std::string SessionStage(std::uint32_t command) {
    switch (command) {
        case CMD_FIRMWARE_VERSION:
            return "version check";
        case CMD_INTEGRATED_IMAGE:
        case CMD_APPLICATION_IMAGE:
            return "image";
        case CMD_MAC_AND_SERIAL:
            return "identity";
        default:
            return "session";
    }
}

}  // namespace

struct Station::Port : units::UnitObserver {
    Port(Station& s, StationPort p) : station(s), config(std::move(p)) {}

    // The sessions' progress, told to the listener whenever the percentage moves.
    class ProgressSink final : public DownloadSink {
      public:
        explicit ProgressSink(Port& port) : port_(port) {}
        void stage(int) override {}
        void progress(std::uint32_t percent) override {
            if (percent == port_.event.percent) return;
            port_.event.percent = percent;
            port_.station.listener_.portChanged(port_.event);
        }
        void error(int) override {}

      private:
        Port& port_;
    };
    void allocated(const ledger::Allocation& unit) override {
        event.mac = ledger::FormatMac48(unit.mac);
        event.serial = unit.serial;
        station.listener_.portChanged(event);
    }
    void restarting(std::chrono::milliseconds) override {
        event.percent = 0;
        event.stage = "restart";
        station.listener_.portChanged(event);
    }
    std::shared_ptr<DownloadSink> sessionSink(std::uint32_t command) override {
        event.percent = 0;
        event.stage = SessionStage(command);
        station.listener_.portChanged(event);
        return std::make_shared<ProgressSink>(*this);
    }
    std::shared_ptr<SessionCancel> sessionCancel() override {
        const std::lock_guard lock(cancelMutex);
        return cancel;
    }

    Station& station;
    StationPort config;
    std::shared_ptr<ledger::Ledger> ledger;  // the station's one connection
    PortEvent event;                         // only the port's thread touches it
    std::atomic<bool> enabled{true};
    std::atomic<bool> retryAsked{false};
    std::mutex cancelMutex;
    std::shared_ptr<SessionCancel> cancel;  // while a unit works
    std::thread thread;
};

Station::Station(StationConfig config, std::shared_ptr<const units::ImageSnapshot> image,
                 PortListener& listener)
    : config_(std::move(config)), listener_(listener) {
    plan_.recipe = config_.recipe;
    plan_.image = std::move(image);
    plan_.station = ledger::StationName();
    plan_.retries = config_.retries;
    plan_.timeouts = config_.timeouts;
    plan_.restartWait = config_.settle;
    for (const StationPort& p : config_.ports) ports_.push_back(std::make_unique<Port>(*this, p));
}

Station::~Station() {
    stopLooking();
    for (auto& port : ports_)
        if (port->thread.joinable()) port->thread.join();
}

ledger::LedgerError Station::start() {
    // One connection for every port: the ports' changes commit together.
    auto opened = ledger::OpenGroupLedger(config_.ledger, {config_.ledgerWait, {}});
    if (!opened.ok()) return opened.error();
    for (auto& port : ports_) port->ledger = opened.value();
    if (auto e = ports_.front()->ledger->checkWritable(); e.failed()) return e;
    for (auto& port : ports_) port->thread = std::thread([this, &p = *port] { runPort(p); });
    return {};
}

void Station::stopLooking() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    controlsChanged_.notify_all();
    unitsChanged_.notify_all();
}

bool Station::rest(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return !controlsChanged_.wait_for(lock, time, [this] { return stopping_.load(); });
}

std::uint64_t Station::controlsSeen() {
    const std::lock_guard lock(mutex_);
    return controls_;
}

bool Station::nap(std::chrono::milliseconds time, std::uint64_t seen) {
    std::unique_lock lock(mutex_);
    controlsChanged_.wait_for(lock, time, [&] { return stopping_ || controls_ != seen; });
    return !stopping_;
}

bool Station::waitUntilNoneWorking(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return unitsChanged_.wait_for(lock, bound, [this] { return working_ == 0; });
}

bool Station::waitForUnits(std::size_t count, std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return unitsChanged_.wait_for(lock, bound, [&] { return ended_ >= count || stopping_; }) &&
           ended_ >= count;
}

void Station::emit(Port& port, PortState state) {
    port.event.state = state;
    listener_.portChanged(port.event);
}

void Station::label(Port& port, const ledger::Allocation& unit, const units::UnitOrigin& origin) {
    // The row as the ledger now holds it: done just now, no label yet.
    ledger::UnitRecord row;
    row.id = unit.id;
    row.mac = unit.mac;
    row.serial = unit.serial;
    row.imageVersion = plan_.image ? plan_.image->versionText : "";
    row.result = ledger::UnitResult::Done;
    row.ended = UtcText(std::chrono::system_clock::now());
    row.port = origin.port;
    labels::LabelOutput output{{}, config_.labels.printer};
    if (!config_.labels.folder.empty())
        output.file = (std::filesystem::path(config_.labels.folder) /
                       ("label-" + labels::BareMac(unit.mac) + ".pdf"))
                          .string();
    port.event.labelError = labels::MakeLabels(*port.ledger, {row}, {labels::LabelFor(row, false)},
                                               config_.labels.layout, output);
    if (port.event.labelError.empty())
        port.event.label = output.file.empty()      ? "printer " + output.printer
                           : output.printer.empty() ? output.file
                                                    : output.file + ", printer " + output.printer;
}

Station::AfterUnit Station::waitUntilGone(Port& port, bool failed) {
    auto lastSeen = std::chrono::steady_clock::now();
    while (!stopping_) {
        const std::uint64_t seen = controlsSeen();
        if (port.retryAsked.exchange(false) && failed) return AfterUnit::Retry;
        if (!port.enabled) return AfterUnit::Gone;
        if (UnitAnswers(port.config.address, config_.probeEvery))
            lastSeen = std::chrono::steady_clock::now();
        else if (std::chrono::steady_clock::now() - lastSeen >= config_.goneAfter) {
            ForgetNeighbour(port.config.address);  // the next unit's address is its own
            return AfterUnit::Gone;
        }
        if (!nap(config_.probeEvery, seen)) break;
    }
    return AfterUnit::Stopped;
}

void Station::waitingFor(Port& port, const std::string& hold) {
    if (port.event.state == PortState::Waiting && port.event.hold == hold) return;
    port.event = FreshEvent(port.config.name, PortState::Waiting);
    port.event.hold = hold;
    emit(port, PortState::Waiting);
}

// A unit whose Ethernet address the ledger handed out already holds an identity (a unit
// restarting after its write, one plugged again): it gets no second one.
bool Station::alreadyProvisioned(Port& port) {
    const auto ethernet = NeighbourMac(port.config.address);
    if (!ethernet) return false;
    const auto held = port.ledger->unitHolding(*ethernet);
    if (!held.ok() || !held.value()) return false;
    port.event = FreshEvent(port.config.name, PortState::AlreadyProvisioned);
    port.event.mac = ledger::FormatMac48(held.value()->mac);
    port.event.serial = held.value()->serial;
    emit(port, PortState::AlreadyProvisioned);
    return true;
}

void Station::provision(Port& port) {
    port.event = FreshEvent(port.config.name, PortState::Found);
    const units::UnitOrigin origin{port.config.name, UtcText(std::chrono::system_clock::now())};
    {
        const std::lock_guard lock(port.cancelMutex);
        port.cancel = std::make_shared<SessionCancel>();
    }
    emit(port, PortState::Found);
    emit(port, PortState::Working);
    const units::UnitOutcome outcome =
        units::ProvisionUnit(*port.ledger, plan_, port.config.address, port, origin);
    {
        const std::lock_guard lock(port.cancelMutex);
        port.cancel.reset();
    }
    if (outcome.unit && outcome.unit->numbered) {
        port.event.mac = ledger::FormatMac48(outcome.unit->mac);
        port.event.serial = outcome.unit->serial;
    }
    port.event.cause = outcome.done() ? "" : outcome.message;
    if (!outcome.cause.text.empty()) port.event.cause += " (" + outcome.cause.text + ")";
    if (!outcome.ledgerError.empty()) port.event.cause += "; ledger: " + outcome.ledgerError;
    port.event.stage.clear();  // no session runs any more
    if (outcome.done() && outcome.unit && outcome.unit->numbered && config_.labels.wanted())
        label(port, *outcome.unit, origin);
    emit(port, outcome.done() ? PortState::Done : PortState::Failed);
}

void Station::runPort(Port& port) {
    port.event.port = port.config.name;
    ::pthread_setname_np(::pthread_self(), "station port");
    ForgetNeighbour(port.config.address);  // whatever was plugged before the station started
    emit(port, PortState::Waiting);
    auto nextHoldCheck = std::chrono::steady_clock::now();
    std::string hold;
    while (!stopping_) {
        // Read before the controls are looked at: a change after this wakes the nap.
        const std::uint64_t seen = controlsSeen();
        if (!port.enabled) {
            if (port.event.state != PortState::Disabled) {
                port.event = FreshEvent(port.config.name, PortState::Disabled);
                emit(port, PortState::Disabled);
            }
            nap(std::chrono::hours(1), seen);
            continue;
        }
        // The interface's state is read once a second, not at every probe.
        if (std::chrono::steady_clock::now() >= nextHoldCheck) {
            hold = PortHold(port.config.address);
            nextHoldCheck = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        }
        waitingFor(port, paused_ ? "paused" : hold);
        if (paused_ || !hold.empty()) {
            nap(paused_ ? std::chrono::hours(1) : std::chrono::seconds(1), seen);
            continue;
        }
        if (!UnitAnswers(port.config.address, config_.probeEvery)) {
            // The kernel keeps an Ethernet address it learnt for half a minute or more,
            // even when the unit has taken another since (its new identity, a unit
            // swapped behind a switch): the next probe asks afresh who holds the address.
            ForgetNeighbour(port.config.address);
            nap(config_.probeEvery, seen);
            continue;
        }
        if (alreadyProvisioned(port)) {
            if (waitUntilGone(port, false) == AfterUnit::Stopped) break;
            continue;
        }
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            ++working_;
        }
        port.retryAsked = false;
        provision(port);
        const bool failed = port.event.state == PortState::Failed;
        {
            std::lock_guard lock(mutex_);
            ++ended_;
            if (failed) ++failed_;
            --working_;
        }
        unitsChanged_.notify_all();
        // A unit restarting after its write must not be taken for a new one.
        if (!rest(config_.settle)) break;
        const AfterUnit after = waitUntilGone(port, failed);
        if (after == AfterUnit::Stopped) break;
        if (after == AfterUnit::Gone) waitingFor(port, {});
    }
}

Station::Port* Station::find(const std::string& name) {
    for (auto& port : ports_)
        if (port->config.name == name) return port.get();
    return nullptr;
}

void Station::controlChanged() {
    {
        const std::lock_guard lock(mutex_);
        ++controls_;
    }
    controlsChanged_.notify_all();
}

void Station::cancel(const std::string& name) {
    if (Port* port = find(name)) {
        const std::lock_guard lock(port->cancelMutex);
        if (port->cancel) port->cancel->cancel();
    }
}

void Station::cancelAll() {
    for (auto& port : ports_) cancel(port->config.name);
}

void Station::retry(const std::string& name) {
    if (Port* port = find(name)) {
        port->retryAsked = true;
        controlChanged();
    }
}

void Station::setEnabled(const std::string& name, bool enabled) {
    if (Port* port = find(name)) {
        port->enabled = enabled;
        controlChanged();
    }
}

void Station::pause() {
    paused_ = true;
    controlChanged();
}

void Station::resume() {
    paused_ = false;
    controlChanged();
}

std::string_view PortStateName(PortState state) {
    switch (state) {
        case PortState::Waiting:
            return "waiting";
        case PortState::Found:
            return "found";
        case PortState::Working:
            return "working";
        case PortState::Done:
            return "done";
        case PortState::Failed:
            return "failed";
        case PortState::AlreadyProvisioned:
            return "already-provisioned";
        case PortState::Disabled:
            return "disabled";
    }
    return {};
}

}  // namespace imgdl::station
