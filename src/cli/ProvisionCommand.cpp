// imgdl provision: writes the ledger's next MAC and serial number into each target, with
// an integrated image or alone, and records every unit's outcome in the ledger.
#include <atomic>
#include <cinttypes>
#include <mutex>
#include <optional>
#include <thread>

#include "CommandLine.h"
#include "CommandSupport.h"
#include "CommonOptions.h"
#include "JsonOutput.h"
#include "common/UnsignedField.h"
#include "image/ImageLayout.h"
#include "ledger/MacRange.h"
#include "res/StringTable.h"
#include "session/SessionCause.h"
#include "units/LeftoverCopies.h"
#include "units/UnitFlow.h"

namespace imgdl::cli {
namespace {

using namespace imgdl::ledger;

constexpr const char* kProvisionUsage =
    "usage: imgdl provision integrated FILE [--ledger L] --target HOST[:PORT] [--target ...]\n"
    "                  [--jobs N] [--retries N] [--connect-timeout S] [--ack-timeout S]\n"
    "                  [--write-timeout S] [--ledger-timeout S] [--json]\n"
    "       imgdl provision identity [--ledger L] --target HOST[:PORT] [--target ...] [...]\n"
    "Each target gets the ledger's next MAC address and serial number. One line per unit on\n"
    "standard output: TARGET MAC SERIAL RESULT (done, or what failed). A unit that failed\n"
    "before its payload was sent gives its numbers back; one whose payload may have reached\n"
    "it keeps them as uncertain (see imgdl ledger list). --jobs N runs N targets at once.\n"
    "--ledger-timeout S bounds every wait for the ledger (a held lock, a server that does\n"
    "not answer; default 10 s): the unit then ends by the ledger's rule.\n"
    "--json prints each unit's line as a JSON object instead: {\"target\",\"mac\",\"serial\",\n"
    "\"result\":\"done\"|\"released\"|\"uncertain\"|\"allocated\"|\"not allocated\",\"message\",\n"
    "\"step\",\"cause\",\"payload_sent\",\"ledger_error\"}; a refusal prints nothing on standard\n"
    "output. A unit is done only once the ledger says so; when the ledger's last write fails\n"
    "the line says the row's real state. Rows left allocated or uncertain: imgdl ledger list.\n"
    "Exit: 0 all done, 1 usage, 2 refused (nothing allocated), 3 a unit failed.\n";

constexpr unsigned kMaxJobs = 64;

struct ProvisionArgs {
    std::string kind;
    std::string file;
    std::string location;
    std::vector<Target> targets;
    unsigned jobs = 1;
    SessionLimits limits;
    std::chrono::milliseconds ledgerWait{10'000};
    bool json = false;
};

// Standard output and standard error, shared by the units' threads line by line.
class Report {
  public:
    Report(const Console& c, bool json) : c_(c), json_(json) {}

    void unit(const Target& target, const units::UnitOutcome& u) {
        const std::string mac = u.unit ? FormatMac48(u.unit->mac) : "";
        const std::optional<std::uint32_t> serial =
            u.unit ? std::optional(u.unit->serial) : std::nullopt;
        if (json_)
            printJson(target, u, mac, serial);
        else
            write(c_.out, target.text() + " " + OrDash(mac) + " " +
                              (serial ? std::to_string(*serial) : "-") + " " + resultText(u));
        if (u.state == units::UnitState::NotAllocated || u.done()) return;
        const std::string keep = u.state == units::UnitState::Released    ? "released"
                                 : u.state == units::UnitState::Uncertain ? "kept as uncertain"
                                                                          : "left allocated";
        const std::string why = u.cause.text.empty() ? "" : " (" + u.cause.text + ")";
        err(target.text() + " " + mac + " " + std::to_string(*serial) + " " + keep + ": " +
            u.message + why);
        if (!u.ledgerError.empty()) err(target.text() + " " + mac + " ledger: " + u.ledgerError);
    }
    void err(const std::string& line) { write(c_.err, "imgdl: " + line); }

  private:
    static std::string OrDash(const std::string& t) { return t.empty() ? "-" : t; }
    // "done", the operator's message, or the row's real state when the ledger failed.
    static std::string resultText(const units::UnitOutcome& u) {
        if (u.done()) return "done";
        if (!u.ledgerError.empty() && u.state != units::UnitState::Released)
            return std::string(units::UnitStateName(u.state)) + ": " + u.message;
        return u.message;
    }
    void printJson(const Target& target, const units::UnitOutcome& u, const std::string& mac,
                   std::optional<std::uint32_t> serial) {
        const auto orNull = [](const std::string& t) {
            return t.empty() ? nlohmann::json(nullptr) : nlohmann::json(t);
        };
        nlohmann::json line = {
            {"target", target.text()},
            {"mac", orNull(mac)},
            {"serial", serial ? nlohmann::json(*serial) : nlohmann::json(nullptr)},
            {"result", std::string(units::UnitStateName(u.state))},
            {"message", orNull(u.done() ? "" : u.message)},
            {"step", orNull(std::string(SessionStepName(u.cause.step)))},
            {"cause", orNull(u.cause.text)},
            {"payload_sent", u.cause.payloadStarted()},
            {"ledger_error", orNull(u.ledgerError)}};
        const std::lock_guard lock(mutex_);
        PrintJson(c_.out, line);
    }
    void write(std::FILE* f, const std::string& line) {
        const std::lock_guard lock(mutex_);
        std::fprintf(f, "%s\n", line.c_str());
        std::fflush(f);
    }
    const Console& c_;
    bool json_;
    std::mutex mutex_;
};

// Tells the person of each connect that is tried again.
class RetryAnnouncer final : public units::UnitObserver {
  public:
    explicit RetryAnnouncer(Report& report) : report_(report) {}
    void retrying(const RecorderAddress& target, std::chrono::milliseconds wait) override {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(wait.count()) / 1000);
        report_.err("no connection to " + target.text() + ", trying again in " + seconds + " s");
    }

  private:
    Report& report_;
};

int RunProvision(const ProvisionArgs& args, const Console& c) {
    const std::string location = args.location.empty() ? DefaultLedgerPath() : args.location;
    units::RemoveLeftoverCopies();
    units::UnitPlan plan;
    plan.recipe = args.kind == "integrated" ? units::Recipe::Integrated : units::Recipe::Identity;
    plan.station = StationName();
    plan.retries = args.limits.retries;
    plan.timeouts = args.limits.timeouts;
    if (plan.recipe == units::Recipe::Integrated) {
        // Read and hashed once: every unit gets exactly these bytes.
        const units::SnapshotResult snapshot =
            units::TakeImageSnapshot(args.file, ImageLayout::Integrated);
        if (!snapshot.image) return Refuse(c, snapshot.refusal);
        plan.image = snapshot.image;
    }

    Report report(c, args.json);
    const ledger::WaitLimits waits{args.ledgerWait,
                                   [&report](const std::string& n) { report.err("ledger: " + n); }};
    // Every thread its own connection, all opened before anything is allocated.
    const unsigned threads = std::min<std::size_t>(args.jobs, args.targets.size());
    std::vector<std::shared_ptr<Ledger>> ledgers;
    for (unsigned i = 0; i < threads; ++i) {
        auto opened = OpenLedger(location, {}, waits);
        if (!opened.ok()) return RefuseWith(c, opened.error().message);
        ledgers.push_back(std::move(opened).value());
    }
    const auto status = ledgers[0]->status();
    if (!status.ok()) return RefuseWith(c, status.error().message);
    if (const auto e = ledgers[0]->checkWritable(); e.failed()) return RefuseWith(c, e.message);
    if (status.value().free < args.targets.size())
        return RefuseWith(c, "the ledger has " + std::to_string(status.value().free) +
                                 " free MAC addresses, " + std::to_string(args.targets.size()) +
                                 " targets were given");

    RetryAnnouncer announcer(report);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> allDone{true};
    {
        std::vector<std::jthread> workers;
        for (unsigned i = 0; i < threads; ++i)
            workers.emplace_back([&, ledger = ledgers[i]] {
                for (std::size_t t = next++; t < args.targets.size(); t = next++) {
                    const auto outcome =
                        units::ProvisionUnit(*ledger, plan, args.targets[t], announcer);
                    report.unit(args.targets[t], outcome);
                    if (!outcome.done()) allDone = false;
                }
            });
    }
    return allDone ? kExitOk : kExitSession;
}

unsigned JobsOrUsageError(const std::string& text) {
    const auto jobs = ParseUnsignedField(text);
    if (!jobs || *jobs == 0 || *jobs > kMaxJobs)
        UsageError("--jobs must be a number from 1 to " + std::to_string(kMaxJobs));
    return *jobs;
}

void AddProvisionKind(CLI::App& provision, const std::string& kind, Action& chosen) {
    auto o = std::make_shared<ProvisionArgs>();
    o->kind = kind;
    CLI::App& leaf = AddLeaf(provision, kind);
    if (kind == "integrated") leaf.add_option("FILE", o->file);
    AddLedgerOption(leaf, o->location);
    AddTargetsOption(leaf, o->targets);
    leaf.add_option_function<std::string>(
            "--jobs", [&o = *o](const std::string& text) { o.jobs = JobsOrUsageError(text); })
        ->type_name("N");
    AddSessionLimitOptions(leaf, o->limits);
    leaf.add_option_function<std::string>("--ledger-timeout",
                                          [&o = *o](const std::string& text) {
                                              const auto limit = ParseSeconds(text);
                                              if (!limit)
                                                  UsageError(
                                                      "--ledger-timeout must be a number "
                                                      "of seconds above 0, got '" +
                                                      text + "'");
                                              o.ledgerWait = *limit;
                                          })
        ->type_name("S");
    leaf.add_flag("--json", o->json);
    OnParsed(
        leaf, chosen,
        [o] {
            if (o->kind == "integrated" && o->file.empty()) UsageError("missing FILE");
        },
        [o](const Console& c) { return RunProvision(*o, c); });
}

}  // namespace

void AddProvisionCommands(CLI::App& main, Action& chosen) {
    CLI::App& provision = AddGroup(main, "provision", kProvisionUsage, "kind");
    for (const char* kind : {"integrated", "identity"}) AddProvisionKind(provision, kind, chosen);
}

}  // namespace imgdl::cli
