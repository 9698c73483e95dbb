#include "station/Station.h"

#include <filesystem>

#include "common/UtcTime.h"
#include "labels/UnitLabels.h"

#include "ledger/MacRange.h"
#include "station/Probe.h"

namespace imgdl::station {

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
    std::shared_ptr<DownloadSink> sessionSink(std::uint32_t) override {
        event.percent = 0;
        return std::make_shared<ProgressSink>(*this);
    }

    Station& station;
    StationPort config;
    std::unique_ptr<ledger::Ledger> ledger;
    PortEvent event;
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
    for (const StationPort& p : config_.ports) ports_.push_back(std::make_unique<Port>(*this, p));
}

Station::~Station() {
    stopLooking();
    for (auto& port : ports_)
        if (port->thread.joinable()) port->thread.join();
}

ledger::LedgerError Station::start() {
    const ledger::WaitLimits waits{config_.ledgerWait, {}};
    for (auto& port : ports_) {
        auto opened = ledger::OpenLedger(config_.ledger, {}, waits);
        if (!opened.ok()) return opened.error();
        port->ledger = std::move(opened).value();
    }
    if (auto e = ports_.front()->ledger->checkWritable(); e.failed()) return e;
    for (auto& port : ports_) port->thread = std::thread([this, &p = *port] { runPort(p); });
    return {};
}

void Station::stopLooking() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
}

bool Station::pause(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, time, [this] { return stopping_.load(); });
}

bool Station::waitUntilNoneWorking(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [this] { return working_ == 0; });
}

bool Station::waitForUnits(std::size_t count, std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return ended_ >= count || stopping_; }) &&
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

bool Station::waitUntilGone(const Port& port) {
    auto lastSeen = std::chrono::steady_clock::now();
    while (!stopping_) {
        if (UnitAnswers(port.config.address, config_.probeEvery))
            lastSeen = std::chrono::steady_clock::now();
        else if (std::chrono::steady_clock::now() - lastSeen >= config_.goneAfter)
            return true;
        if (!pause(config_.probeEvery)) return false;
    }
    return false;
}

void Station::runPort(Port& port) {
    port.event.port = port.config.name;
    emit(port, PortState::Waiting);
    while (!stopping_) {
        if (!UnitAnswers(port.config.address, config_.probeEvery)) {
            pause(config_.probeEvery);
            continue;
        }
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            ++working_;
        }
        port.event = FreshEvent(port.config.name, PortState::Found);
        const units::UnitOrigin origin{port.config.name, UtcText(std::chrono::system_clock::now())};
        emit(port, PortState::Found);
        emit(port, PortState::Working);
        const units::UnitOutcome outcome =
            units::ProvisionUnit(*port.ledger, plan_, port.config.address, port, origin);
        if (outcome.unit) {
            port.event.mac = ledger::FormatMac48(outcome.unit->mac);
            port.event.serial = outcome.unit->serial;
        }
        port.event.cause = outcome.done() ? "" : outcome.message;
        if (!outcome.cause.text.empty()) port.event.cause += " (" + outcome.cause.text + ")";
        if (!outcome.ledgerError.empty()) port.event.cause += "; ledger: " + outcome.ledgerError;
        if (outcome.done() && config_.labels.wanted()) label(port, *outcome.unit, origin);
        emit(port, outcome.done() ? PortState::Done : PortState::Failed);
        {
            std::lock_guard lock(mutex_);
            ++ended_;
            if (!outcome.done()) ++failed_;
            --working_;
        }
        changed_.notify_all();
        // A unit restarting after its write must not be taken for a new one.
        if (!pause(config_.settle) || !waitUntilGone(port)) break;
        port.event = FreshEvent(port.config.name, PortState::Waiting);
        emit(port, PortState::Waiting);
    }
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
