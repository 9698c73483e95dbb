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
#include "PrivateFolder.h"
#include "UnitRunner.h"
#include "common/RegularFile.h"
#include "common/Sha256.h"
#include "common/UnsignedField.h"
#include "image/ImageLayout.h"
#include "image/ProbeFirmwareVersion.h"
#include "ledger/MacRange.h"
#include "res/StringTable.h"
#include "session/DownloadProtocol.h"
#include "session/SessionPayloads.h"

namespace imgdl::cli {
namespace {

using namespace imgdl::ledger;

constexpr const char* kProvisionUsage =
    "usage: imgdl provision integrated FILE [--ledger L] --target HOST[:PORT] [--target ...]\n"
    "                  [--jobs N] [--retries N] [--connect-timeout S] [--ack-timeout S]\n"
    "                  [--write-timeout S] [--json]\n"
    "       imgdl provision identity [--ledger L] --target HOST[:PORT] [--target ...] [...]\n"
    "Each target gets the ledger's next MAC address and serial number. One line per unit on\n"
    "standard output: TARGET MAC SERIAL RESULT (done, or what failed). A unit that failed\n"
    "before its payload was sent gives its numbers back; one whose payload may have reached\n"
    "it keeps them as uncertain (see imgdl ledger list). --jobs N runs N targets at once.\n"
    "--json prints each unit's line as a JSON object instead: {\"target\",\"mac\",\"serial\",\n"
    "\"result\":\"done\"|\"released\"|\"uncertain\"|\"not allocated\",\"message\"}; a refusal\n"
    "prints nothing on standard output.\n"
    "Exit: 0 all done, 1 usage, 2 refused (nothing allocated), 3 a unit failed.\n";

constexpr unsigned kMaxJobs = 64;

struct ProvisionArgs {
    std::string kind;
    std::string file;
    std::string location;
    std::vector<std::string> targetTexts;
    std::vector<Target> targets;
    unsigned jobs = 1;
    SessionLimits limits;
    bool json = false;
};

// What every unit's row records of the image, checked once before anything is allocated.
struct ImageFacts {
    std::string sha256;
    std::string version;
};

std::optional<int> CheckImage(const std::string& path, ImageFacts& facts) {
    const OpenedFile file = OpenRegularFileForReading(path);
    if (!file)
        return file.failure == OpenFailure::CannotOpen ? IDS_NO_IMAGE_FILE : IDS_CANT_OPEN_IMAGE;
    if (file.size < kMinIntegratedSize || file.size > static_cast<std::uint64_t>(INT32_MAX))
        return IDS_INVALID_FILE_SIZE;
    const std::int32_t version =
        ProbeFirmwareVersion(path, ImageLayout::Integrated, gzip::DiscardSink());
    if (const auto message = ProbeFailureMessage(version)) return *message;
    const auto sha = Sha256OfFile(path);
    if (!sha) return IDS_CANT_OPEN_IMAGE;
    facts = {*sha, FormatVersion(static_cast<std::uint32_t>(version))};
    return std::nullopt;
}

// How one unit ended: "not allocated" (mac and serial empty), "done", "released" or
// "uncertain"; the message says what failed.
struct UnitLine {
    std::string target, mac;
    std::optional<std::uint32_t> serial;
    std::string result, message;
};

// Standard output and standard error, shared by the units' threads line by line.
class Report {
  public:
    Report(const Console& c, bool json) : c_(c), json_(json) {}
    void unit(const UnitLine& u) {
        if (!json_) {
            const std::string text = u.result == "done" ? u.result : u.message;
            write(c_.out, u.target + " " + OrDash(u.mac) + " " +
                              (u.serial ? std::to_string(*u.serial) : "-") + " " + text);
            return;
        }
        const auto orNull = [](const std::string& t) {
            return t.empty() ? nlohmann::json(nullptr) : nlohmann::json(t);
        };
        const nlohmann::json line = {
            {"target", u.target},
            {"mac", orNull(u.mac)},
            {"serial", u.serial ? nlohmann::json(*u.serial) : nlohmann::json(nullptr)},
            {"result", u.result},
            {"message", orNull(u.message)}};
        const std::lock_guard lock(mutex_);
        PrintJson(c_.out, line);
    }
    void err(const std::string& line) { write(c_.err, "imgdl: " + line); }

  private:
    static std::string OrDash(const std::string& t) { return t.empty() ? "-" : t; }
    void write(std::FILE* f, const std::string& line) {
        const std::lock_guard lock(mutex_);
        std::fprintf(f, "%s\n", line.c_str());
        std::fflush(f);
    }
    const Console& c_;
    bool json_;
    std::mutex mutex_;
};

struct Plan {
    const ProvisionArgs& args;
    ImageFacts image;
    std::string station;
    const PrivateFolder* copies = nullptr;  // integrated only
};

std::string ErrorText(int error) {
    return std::string(LoadString(ErrorMessageId(error).value_or(0)));
}

// One unit from allocation to its recorded end. True when it is done.
bool ProvisionUnit(const std::shared_ptr<Ledger>& ledger, const Plan& plan, std::size_t index,
                   Report& report) {
    const std::string& targetText = plan.args.targetTexts[index];
    const Target& target = plan.args.targets[index];
    const auto allocated = ledger->allocate(
        {targetText, plan.args.kind, plan.image.sha256, plan.image.version, plan.station});
    if (!allocated.ok()) {
        report.unit({targetText, "", std::nullopt, "not allocated", allocated.error().message});
        return false;
    }
    const Allocation& unit = allocated.value();
    const std::string mac = FormatMac48(unit.mac), serial = std::to_string(unit.serial);

    DownloadRequest request;
    request.kind = plan.copies ? DownloadKind::Integrated : DownloadKind::Identity;
    request.target = target.host;
    request.port = target.port;
    request.imagePath = plan.args.file;
    request.writeMac = request.writeSerial = true;
    request.macText = mac;
    request.serial = unit.serial;
    if (plan.copies)
        request.copyPath = (plan.copies->path() / ("unit-" + std::to_string(unit.id))).string();
    UnitRunner runner(ledger, unit.id, plan.args.limits, stderr);
    const FlowOutcome outcome = DownloadFlows(runner, gzip::DiscardSink()).Run(request);

    UnitLine line{targetText, mac, unit.serial, "done", ""};
    std::string keep;
    LedgerError recorded;
    if (outcome.result == FlowOutcome::Result::Done) {
        recorded = ledger->finish(unit.id, Outcome::Done, "");
    } else {
        const std::string text = outcome.result == FlowOutcome::Result::Refused
                                     ? std::string(LoadString(outcome.refusal))
                                     : ErrorText(outcome.error);
        line.message = text;
        if (runner.payloadStarted()) {
            line.result = "uncertain";
            keep = "kept as uncertain";
            recorded = ledger->markUncertain(unit.id, text);
        } else {
            line.result = "released";
            keep = "released";
            recorded = ledger->release(unit.id, text);
        }
    }
    report.unit(line);
    if (!keep.empty())
        report.err(targetText + " " + mac + " " + serial + " " + keep + ": " + line.message);
    if (!runner.ledgerError().empty()) report.err("ledger: " + runner.ledgerError());
    if (recorded.failed()) report.err("ledger: " + recorded.message);
    return line.result == "done" && !recorded.failed();
}

int RunProvision(const ProvisionArgs& args, const Console& c) {
    ProvisionArgs a = args;
    if (a.location.empty()) a.location = DefaultLedgerPath();
    Plan plan{a, {}, StationName(), nullptr};
    if (a.kind == "integrated")
        if (const auto refusal = CheckImage(a.file, plan.image)) return Refuse(c, *refusal);

    // Every thread its own connection, all opened before anything is allocated.
    const unsigned threads = std::min<std::size_t>(a.jobs, a.targets.size());
    std::vector<std::shared_ptr<Ledger>> ledgers;
    for (unsigned i = 0; i < threads; ++i) {
        auto opened = OpenLedger(a.location);
        if (!opened.ok()) return RefuseWith(c, opened.error().message);
        ledgers.push_back(std::move(opened).value());
    }
    const auto status = ledgers[0]->status();
    if (!status.ok()) return RefuseWith(c, status.error().message);
    if (status.value().free < a.targets.size())
        return RefuseWith(c, "the ledger has " + std::to_string(status.value().free) +
                                 " free MAC addresses, " + std::to_string(a.targets.size()) +
                                 " targets were given");
    std::optional<PrivateFolder> copies;
    if (a.kind == "integrated") {
        copies.emplace();
        if (!copies->made()) return Refuse(c, IDS_CANT_OPEN_IMAGE);
        plan.copies = &*copies;
    }

    Report report(c, a.json);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> allDone{true};
    {
        std::vector<std::jthread> workers;
        for (unsigned i = 0; i < threads; ++i)
            workers.emplace_back([&, ledger = ledgers[i]] {
                for (std::size_t t = next++; t < a.targets.size(); t = next++)
                    if (!ProvisionUnit(ledger, plan, t, report)) allDone = false;
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
    AddTargetsOption(leaf, o->targetTexts, o->targets);
    leaf.add_option_function<std::string>(
            "--jobs", [&o = *o](const std::string& text) { o.jobs = JobsOrUsageError(text); })
        ->type_name("N");
    AddSessionLimitOptions(leaf, o->limits);
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
