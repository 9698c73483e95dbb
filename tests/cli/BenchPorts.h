#pragma once
// A person working the ports of the network bench: units plugged into a port one after
// another, each unplugged at its own moment, by pulling its cable or by its recorder
// going away. Each port is worked on a thread of its own; what went wrong comes back as
// text, so that the test thread decides.
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Background.h"
#include "BenchRecords.h"
#include "support/NetBench.h"

namespace imgdl::test {

inline constexpr const char* kFactoryEthernet = "02:00:00:00:00:01";

// What a unit does once plugged in.
enum class UnitKind {
    Fresh,                // takes its identity, then is unplugged
    Restarts,             // takes its identity, restarts with it, is already provisioned
    RestartsLate,         // the same, its new address taken after it was seen gone, link up
    PulledMidSession,     // its recorder stalls after the payload; pulled out meanwhile
    PulledBeforePayload,  // its recorder never answers the command; pulled out meanwhile
    RefusesHandshake,     // echoes a wrong length: nothing of the identity is sent
    Glimpse,              // plugged for a moment: gone before, during or after its session
};

struct UnitPlan {
    int id = 0;
    UnitKind kind = UnitKind::Fresh;
    bool pullCable = false;              // unplugged by its link going down, not its recorder
    std::chrono::milliseconds before{};  // before it is plugged in
    std::chrono::milliseconds linger{};  // after its outcome (or its payload), before unplugged
};

// "0012AB000001" as an interface's address, "00:12:ab:00:00:01".
inline std::string EthernetText(const std::string& mac) {
    std::string text;
    for (std::size_t i = 0; i < mac.size(); i += 2) text += (i ? ":" : "") + mac.substr(i, 2);
    return text;
}

class BenchPort {
  public:
    BenchPort(NetBench& bench, int index, const std::string& stationOutput, std::string dir)
        : bench_(bench),
          index_(index),
          events_(stationOutput, "p" + std::to_string(index)),
          dir_(std::move(dir)) {}

    // Plays the units in turn; the first thing that went wrong, or nothing.
    std::string work(const std::vector<UnitPlan>& units) {
        for (const UnitPlan& u : units) {
            std::this_thread::sleep_for(u.before);
            if (std::string problem = play(u); !problem.empty())
                return events_.port() + " unit " + std::to_string(u.id) + ": " + problem +
                       "\n  last events: " + lastEvents(6);
        }
        return {};
    }
    const std::vector<Plug>& plugs() const { return plugs_; }
    const std::string& name() const { return events_.port(); }
    std::vector<nlohmann::json> events() const { return events_.read(); }

  private:
    using Sim = std::unique_ptr<Background>;

    std::string lastEvents(std::size_t count) const {
        const auto all = events_.read();
        std::string text;
        for (std::size_t i = all.size() > count ? all.size() - count : 0; i < all.size(); ++i)
            text += all[i].dump() + " ";
        return text;
    }

    std::string play(const UnitPlan& u) {
        switch (u.kind) {
            case UnitKind::Fresh:
            case UnitKind::Restarts:
            case UnitKind::RestartsLate:
                return provisioned(u);
            case UnitKind::PulledMidSession:
                return pulledMidSession(u, "stall");
            case UnitKind::PulledBeforePayload:
                return pulledMidSession(u, "mute");
            case UnitKind::RefusesHandshake:
                return refused(u);
            case UnitKind::Glimpse:
                return glimpse(u);
        }
        return "no such kind";
    }

    Sim plug(const UnitPlan& u, const std::vector<std::string>& more = {}) {
        const std::string name = dir_ + "/unit" + std::to_string(u.id) + "-" +
                                 std::to_string(plugs_.size()) + "-p" + std::to_string(index_);
        std::vector<std::string> argv = {RECORDER_SIM_PROGRAM, "--listen", "192.168.0.1:5000"};
        argv.insert(argv.end(), more.begin(), more.end());
        plugs_.push_back({name + ".out", events_.port(), u.id});
        return std::make_unique<Background>(bench_.inUnitArgv(index_, argv), name + ".out",
                                            name + ".err");
    }

    // The unit goes off; its recorder still tells what it received (killed, it could not).
    static void powerOff(Sim& sim) {
        if (!sim) return;
        ::kill(sim->pid(), SIGTERM);
        sim->wait(std::chrono::seconds(5));
        sim.reset();
    }

    // The unit leaves: its recorder goes, or its cable is pulled (the recorder then goes
    // once the station has seen it leave). False when the station never saw it leave.
    bool unplug(Sim& sim, bool pullCable) {
        if (!pullCable) {
            powerOff(sim);
            return events_.next({"waiting"}).has_value();
        }
        bench_.setLink(index_, false);
        const bool gone = events_.next({"waiting"}).has_value();
        powerOff(sim);
        return bench_.setLink(index_, true) && gone;
    }

    std::string outcome(const std::string& wanted, nlohmann::json* event = nullptr,
                        std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto e = events_.next({"done", "failed", "already-provisioned"}, limit);
        if (!e) return "no outcome, " + wanted + " expected";
        if ((*e)["state"] != wanted) return (*e)["state"].get<std::string>() + ": " + e->dump();
        if (event) *event = *e;
        return {};
    }

    std::string provisioned(const UnitPlan& u) {
        Sim sim = plug(u);
        nlohmann::json done;
        if (auto problem = outcome("done", &done); !problem.empty()) return problem;
        std::this_thread::sleep_for(u.linger);
        if (u.kind == UnitKind::Fresh) return unplug(sim, u.pullCable) ? "" : "not seen leaving";
        // It restarts as the unit it now is: its Ethernet address is the MAC it received.
        powerOff(sim);
        const std::string mac = done["mac"];
        if (u.kind == UnitKind::RestartsLate) {
            // Still answering for its old address while the station looks (a probe or
            // two learn it), then the new one, its link never down.
            if (!events_.next({"waiting"})) return "not seen restarting";
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            if (!bench_.changeEthernet(index_, EthernetText(mac))) return "cannot set its address";
        } else {
            if (!bench_.setEthernet(index_, EthernetText(mac))) return "cannot set its address";
            if (!events_.next({"waiting"})) return "not seen restarting";
        }
        sim = plug(u);
        nlohmann::json again;
        // Well before the kernel would let go of an address it learnt by itself.
        if (auto problem = outcome("already-provisioned", &again, std::chrono::seconds(10));
            !problem.empty())
            return problem;
        if (again["mac"] != mac || again["serial"] != done["serial"])
            return "already provisioned as another unit: " + again.dump();
        std::this_thread::sleep_for(u.linger);
        powerOff(sim);
        // The next unit on the port is a fresh one, as every unit leaves the factory.
        if (!bench_.setEthernet(index_, kFactoryEthernet)) return "cannot set its address";
        return events_.next({"waiting"}) ? "" : "not seen leaving";
    }

    std::string pulledMidSession(const UnitPlan& u, const std::string& script) {
        Sim sim = plug(u, {"--script", script});
        // Working with numbers: they are handed out and the session is on its way.
        for (;;) {
            const auto e = events_.next({"working", "done", "failed", "already-provisioned"});
            if (!e) return "never worked on";
            if ((*e)["state"] != "working") return "ended before it was pulled: " + e->dump();
            if (!(*e)["mac"].is_null()) break;
        }
        std::this_thread::sleep_for(u.linger);
        if (u.pullCable) bench_.setLink(index_, false);
        powerOff(sim);
        if (auto problem = outcome("failed"); !problem.empty()) return problem;
        const bool gone = events_.next({"waiting"}).has_value();
        if (u.pullCable && !bench_.setLink(index_, true)) return "cannot plug the cable back";
        return gone ? "" : "not seen leaving";
    }

    std::string refused(const UnitPlan& u) {
        Sim sim = plug(u, {"--script", "bad-echo"});
        if (auto problem = outcome("failed"); !problem.empty()) return problem;
        std::this_thread::sleep_for(u.linger);
        return unplug(sim, u.pullCable) ? "" : "not seen leaving";
    }

    std::string glimpse(const UnitPlan& u) {
        Sim sim = plug(u);
        std::this_thread::sleep_for(2 * u.linger);
        if (u.pullCable) {
            bench_.setLink(index_, false);
            if (!quiet()) return "not quiet with its cable pulled";
            powerOff(sim);
            bench_.setLink(index_, true);
        }
        powerOff(sim);
        return quiet() ? "" : "not quiet after it left";
    }

    // Until the port is looking for units again and has had nothing to say for a while
    // (longer than a probe, a connect and a retry): whatever the station made of a unit
    // it may or may not have seen is over.
    bool quiet() {
        using Clock = std::chrono::steady_clock;
        const auto giveUp = Clock::now() + std::chrono::seconds(20);
        std::size_t seen = 0;
        auto since = Clock::now();
        while (Clock::now() < giveUp) {
            const auto events = events_.read();
            if (events.size() != seen) {
                seen = events.size();
                since = Clock::now();
            } else if (seen > 0 && events.back()["state"] == "waiting" &&
                       Clock::now() - since >= std::chrono::seconds(3)) {
                events_.skipTo(seen);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    NetBench& bench_;
    int index_;
    PortEvents events_;
    std::string dir_;
    std::vector<Plug> plugs_;
};

}  // namespace imgdl::test
