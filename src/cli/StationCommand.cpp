// imgdl station: a production-line station without a window. Every port provisions the
// units plugged into it, one after the other, until a signal or --once N.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cinttypes>
#include <mutex>
#include <set>
#include <sstream>
#include <variant>

#include "CommandLine.h"
#include "CommandSupport.h"
#include "CommonOptions.h"
#include "JsonOutput.h"
#include "StationTable.h"
#include "common/UnsignedField.h"
#include "image/ImageLayout.h"
#include "labels/LabelLayout.h"
#include "labels/UnitLabels.h"
#include "station/Station.h"
#include "station/StationFile.h"
#include "units/ImageSnapshot.h"

namespace imgdl::cli {
namespace {

constexpr const char* kStationUsage =
    "usage: imgdl station [FILE] --port NAME=A.B.C.D[:PORT][%INTERFACE] [--port ...]\n"
    "                     --recipe app|integrated|identity|app+identity\n"
    "                     [--image FILE] [--ledger L]\n"
    "                     [--settle S] [--gone-after S] [--once N] [--json]\n"
    "                     [--retries N] [--connect-timeout S] [--ack-timeout S]\n"
    "                     [--write-timeout S] [--ledger-timeout S]\n"
    "                     [--label-folder DIR] [--label-print PRINTER] [--label-layout FILE]\n"
    "                     [--save FILE]\n"
    "FILE is a station file (key = value lines: recipe, image, image-sha256, ledger,\n"
    "settle, gone-after, retries, the timeouts, label-folder, label-print, label-layout,\n"
    "and port = NAME=ADDRESS once per port; relative paths from the file's folder). The\n"
    "options override it; any --port replaces its ports. --save FILE writes the set-up\n"
    "as a station file, the image's SHA-256 pinned, and ends.\n"
    "Each port looks for a unit (a TCP connection to its address, out of its interface),\n"
    "provisions the one it finds with the recipe and the ledger's next numbers, waits\n"
    "--settle seconds (the unit's restart after a write), then waits until the unit has\n"
    "not answered for --gone-after seconds (default 2) before it looks again: a unit left\n"
    "plugged is never provisioned twice. One JSON line per port event on standard output:\n"
    "{\"port\",\"state\",\"mac\",\"serial\",\"percent\",\"cause\"} (on a terminal, a live table\n"
    "instead, unless --json), state waiting, found, "
    "working,\n"
    "done, failed, already-provisioned (the ledger handed out its Ethernet address) or\n"
    "disabled. SIGINT or SIGTERM stops looking for units and lets working ones finish\n"
    "(at most 60 s; then, or at a second signal, they are cancelled: every row ends by\n"
    "the ledger's rule).\n"
    "Standard input takes commands, a line each: cancel PORT (its session ends within a\n"
    "second), retry PORT (a failed unit still plugged), disable PORT, enable PORT, pause,\n"
    "resume. A waiting event has \"hold\" when something keeps the port from looking:\n"
    "paused, link down, no address on its interface. A working event has \"stage\", the\n"
    "session its percent is of: version check, image or identity.\n"
    "--once N ends after N units have ended. --label-folder and --label-print make the label\n"
    "of every unit done (label-MAC.pdf in DIR, a job on PRINTER; see imgdl ledger label); the\n"
    "done event then has \"label\" (where it went) or \"labelError\" (the unit stays done:\n"
    "imgdl ledger label prints it again). Exit: 0, 1 usage, 2 refused, 3 a unit failed.\n";

constexpr std::chrono::seconds kFinishBound{60};
// A cancelled unit's session ends within a second; its ledger write has this much more.
constexpr std::chrono::seconds kCancelBound{15};

struct StationArgs {
    station::StationConfig config;  // what the options said
    std::set<std::string> given;    // the options on the line, which override the file
    std::string file, save, labelLayout;
    std::string recipe;
    std::optional<std::size_t> once;
    bool json = false;
};

// The options that set what a station file sets.
const char* const kFileOptions[] = {
    "--port",          "--recipe",         "--image",       "--ledger",          "--settle",
    "--gone-after",    "--ledger-timeout", "--retries",     "--connect-timeout", "--ack-timeout",
    "--write-timeout", "--label-folder",   "--label-print", "--label-layout"};

// The file's set-up with every option given on the line in its place.
void Override(station::StationFile& file, const StationArgs& a) {
    station::StationConfig& c = file.config;
    const station::StationConfig& o = a.config;
    const auto given = [&a](const char* name) { return a.given.count(name) > 0; };
    if (given("--port")) c.ports = o.ports;
    if (given("--recipe"))
        c.recipe = units::ParseRecipe(a.recipe).value_or(units::Recipe::Identity);
    if (given("--image")) {
        c.image = o.image;
        file.imageSha256.clear();  // the file pinned its own image, not this one
    }
    if (given("--ledger")) c.ledger = o.ledger;
    if (given("--settle")) c.settle = o.settle;
    if (given("--gone-after")) c.goneAfter = o.goneAfter;
    if (given("--ledger-timeout")) c.ledgerWait = o.ledgerWait;
    if (given("--retries")) c.retries = o.retries;
    if (given("--connect-timeout")) c.timeouts.connect = o.timeouts.connect;
    if (given("--write-timeout")) c.timeouts.sendStall = o.timeouts.sendStall;
    if (given("--ack-timeout")) {
        c.timeouts.handshakeReply = o.timeouts.handshakeReply;
        c.timeouts.firstAck = o.timeouts.firstAck;
        c.timeouts.writtenAck = o.timeouts.writtenAck;
    }
    if (given("--label-folder")) c.labels.folder = o.labels.folder;
    if (given("--label-print")) c.labels.printer = o.labels.printer;
    if (given("--label-layout")) {
        c.labels.layout = o.labels.layout;
        file.labelLayout = a.labelLayout;
    }
}

// The station file with the options over it; an error message when the file is wrong.
std::variant<station::StationFile, std::string> SetUp(const StationArgs& a) {
    station::StationFile file;
    if (!a.file.empty()) {
        auto read = station::ReadStationFile(a.file);
        if (auto* e = std::get_if<station::StationFileError>(&read)) return e->message;
        file = std::get<station::StationFile>(read);
    }
    Override(file, a);
    if (file.config.ledger.empty()) file.config.ledger = ledger::DefaultLedgerPath();
    return file;
}

// Why the image read is not the one the file pins; empty when it is, or none is pinned.
std::string PinMismatch(const station::StationFile& file, const units::ImageSnapshot& image) {
    if (file.imageSha256.empty() || image.sha256 == file.imageSha256) return {};
    return file.config.image + " is not the image the station file pins: its SHA-256 is " +
           image.sha256 + ", the file's " + file.imageSha256;
}

// One line per port event, whole lines only, from every port's thread.
class EventPrinter final : public station::PortListener {
  public:
    EventPrinter(std::FILE* out) : out_(out) {}
    void portChanged(const station::PortEvent& e) override {
        nlohmann::json line = {
            {"port", e.port},
            {"state", std::string(station::PortStateName(e.state))},
            {"mac", e.mac.empty() ? nlohmann::json(nullptr) : nlohmann::json(e.mac)},
            {"serial", e.serial ? nlohmann::json(*e.serial) : nlohmann::json(nullptr)},
            {"percent", e.percent},
            {"cause", e.cause.empty() ? nlohmann::json(nullptr) : nlohmann::json(e.cause)}};
        if (!e.hold.empty()) line["hold"] = e.hold;
        if (!e.stage.empty()) line["stage"] = e.stage;
        if (e.state == station::PortState::Done && (!e.label.empty() || !e.labelError.empty())) {
            line["label"] = e.label.empty() ? nlohmann::json(nullptr) : nlohmann::json(e.label);
            line["labelError"] =
                e.labelError.empty() ? nlohmann::json(nullptr) : nlohmann::json(e.labelError);
        }
        const std::lock_guard lock(mutex_);
        PrintJson(out_, line);
    }

  private:
    std::FILE* out_;
    std::mutex mutex_;
};

// SIGINT and SIGTERM, taken by waiting for them instead of by a handler.
class StopSignals {
  public:
    StopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &old_);  // before any port's thread starts
    }
    ~StopSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    bool arrived(std::chrono::milliseconds wait) {
        const timespec t{0, static_cast<long>(wait.count()) * 1'000'000};
        return sigtimedwait(&set_, nullptr, &t) > 0;
    }

  private:
    sigset_t set_{}, old_{};
};

// Commands a person or a script types on standard input, a line each: "cancel PORT",
// "retry PORT", "disable PORT", "enable PORT", "pause", "resume". Read only when there is
// something to read, so the station never waits on its input.
class StationInput {
  public:
    explicit StationInput(station::Station& line, std::FILE* err) : line_(line), err_(err) {}
    // Waits up to `time` for input and acts on every whole line; false once at its end.
    bool poll(std::chrono::milliseconds time) {
        if (ended_) return false;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (::poll(&in, 1, static_cast<int>(time.count())) <= 0) return true;
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            ended_ = n == 0 || (errno != EINTR && errno != EAGAIN);
            return !ended_;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
        for (auto end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
            act(pending_.substr(0, end));
            pending_.erase(0, end + 1);
        }
        return true;
    }

  private:
    void act(const std::string& line) {
        std::istringstream words(line);
        std::string verb, port, extra;
        words >> verb >> port >> extra;
        const bool needsPort =
            verb == "cancel" || verb == "retry" || verb == "disable" || verb == "enable";
        if (verb == "pause" && port.empty())
            line_.pause();
        else if (verb == "resume" && port.empty())
            line_.resume();
        else if (needsPort && !port.empty() && extra.empty() && verb == "cancel")
            line_.cancel(port);
        else if (needsPort && !port.empty() && extra.empty() && verb == "retry")
            line_.retry(port);
        else if (needsPort && !port.empty() && extra.empty())
            line_.setEnabled(port, verb == "enable");
        else if (!verb.empty())
            std::fprintf(err_,
                         "imgdl: '%s' is not a station command (cancel, retry, disable or "
                         "enable PORT; pause; resume)\n",
                         Printable(line).c_str());
    }

    station::Station& line_;
    std::FILE* err_;
    std::string pending_;
    bool ended_ = false;
};

// --save: the set-up written as a station file, the image's SHA-256 pinned.
int SaveStationFile(station::StationFile file, const std::string& path,
                    const std::shared_ptr<const units::ImageSnapshot>& image, const Console& c) {
    if (image) file.imageSha256 = image->sha256;
    const std::string error = labels::WriteFileWhole(path, station::FormatStationFile(file, path));
    if (!error.empty()) return RefuseWith(c, error);
    std::fprintf(c.out, "station file written: %s\n", path.c_str());
    return kExitOk;
}

int RunStation(const StationArgs& args, const Console& c) {
    auto setUp = SetUp(args);
    if (auto* e = std::get_if<std::string>(&setUp)) return RefuseWith(c, *e);
    const auto& file = std::get<station::StationFile>(setUp);
    const station::StationConfig& config = file.config;
    if (const auto problems = station::CheckStationConfig(config); !problems.empty())
        return RefuseWith(c, problems.front());
    std::shared_ptr<const units::ImageSnapshot> image;
    if (units::RecipeSendsImage(config.recipe)) {
        const auto snapshot =
            units::TakeImageSnapshot(config.image, units::RecipeImageLayout(config.recipe));
        if (!snapshot.image) return Refuse(c, snapshot.refusal);
        if (const std::string e = PinMismatch(file, *snapshot.image); !e.empty())
            return RefuseWith(c, e);
        image = snapshot.image;
    }
    if (!args.save.empty()) return SaveStationFile(file, args.save, image, c);
    StopSignals signals;
    // A person at a terminal gets the table; a script, and --json, the event lines.
    const bool table = !args.json && ::isatty(fileno(c.out)) == 1;
    std::vector<std::string> names;
    for (const auto& p : config.ports) names.push_back(p.name);
    EventPrinter printer(c.out);
    PortTable ports(names);
    station::Station line(config, image,
                          table ? static_cast<station::PortListener&>(ports) : printer);
    if (const auto e = line.start(); e.failed()) return RefuseWith(c, e.message);
    StationInput input(line, c.err);
    while (!(args.once && line.unitsEnded() >= *args.once)) {
        const bool reading = input.poll(std::chrono::milliseconds(100));
        if (table) ports.draw(c.out, line.paused());
        if (signals.arrived(std::chrono::milliseconds(reading ? 0 : 100))) break;
    }
    if (table) ports.draw(c.out, line.paused());
    line.stopLooking();
    // Working units go on to their end, unless a second signal or the bound cancels them;
    // a cancelled unit's row still ends by the ledger's rule.
    const auto giveUp = std::chrono::steady_clock::now() + kFinishBound;
    while (!line.waitUntilNoneWorking(std::chrono::milliseconds(100)))
        if (signals.arrived(std::chrono::milliseconds(0)) ||
            std::chrono::steady_clock::now() > giveUp) {
            line.cancelAll();
            if (!line.waitUntilNoneWorking(kCancelBound))
                std::_Exit(kExitSession);  // a ledger that does not answer: its rule holds
            break;
        }
    return line.unitsFailed() ? kExitSession : kExitOk;
}

std::chrono::milliseconds SecondsOrUsageError(const std::string& name, const std::string& text,
                                              bool zeroAllowed) {
    if (zeroAllowed && (text == "0" || text == "0.0")) return std::chrono::milliseconds(0);
    const auto limit = ParseSeconds(text);
    if (!limit) UsageError(name + " must be a number of seconds, got '" + Printable(text) + "'");
    return *limit;
}

}  // namespace

void AddStationCommand(CLI::App& main, Action& chosen) {
    auto o = std::make_shared<StationArgs>();
    CLI::App& leaf = AddLeaf(main, "station");
    leaf.formatter(std::make_shared<CommandHelp>(kStationUsage, "command"));
    auto& config = o->config;
    leaf.add_option_function<std::vector<std::string>>(
            "--port",
            [&config](const std::vector<std::string>& given) {
                for (const std::string& text : given) {
                    std::string error;
                    const auto port = station::ParseStationPort(text, error);
                    if (!port) UsageError(error + ", got '" + Printable(text) + "'");
                    config.ports.push_back(*port);
                }
            })
        ->allow_extra_args(false)
        ->type_name("NAME=ADDRESS");
    leaf.add_option("FILE", o->file);
    leaf.add_option("--save", o->save)->type_name("FILE");
    leaf.add_option("--recipe", o->recipe)
        ->check(CLI::IsMember({"app", "integrated", "identity", "app+identity"}));
    leaf.add_option("--image", config.image)->type_name("FILE");
    AddLedgerOption(leaf, config.ledger);
    leaf.add_option_function<std::string>("--settle",
                                          [&config](const std::string& t) {
                                              config.settle =
                                                  SecondsOrUsageError("--settle", t, true);
                                          })
        ->type_name("S");
    leaf.add_option_function<std::string>("--gone-after",
                                          [&config](const std::string& t) {
                                              config.goneAfter =
                                                  SecondsOrUsageError("--gone-after", t, false);
                                          })
        ->type_name("S");
    leaf.add_option_function<std::string>("--ledger-timeout",
                                          [&config](const std::string& t) {
                                              config.ledgerWait =
                                                  SecondsOrUsageError("--ledger-timeout", t, false);
                                          })
        ->type_name("S");
    leaf.add_option_function<std::string>("--once",
                                          [&o = *o](const std::string& t) {
                                              const auto n = ParseUnsignedField(t);
                                              if (!n || *n == 0)
                                                  UsageError("--once must be a number above 0");
                                              o.once = *n;
                                          })
        ->type_name("N");
    leaf.add_option("--label-folder", config.labels.folder)->type_name("DIR");
    leaf.add_option("--label-print", config.labels.printer)->type_name("PRINTER");
    leaf.add_option_function<std::string>("--label-layout",
                                          [&config, &o = *o](const std::string& path) {
                                              o.labelLayout = path;
                                              auto read = labels::ReadLabelLayout(path);
                                              if (auto* e = std::get_if<labels::LayoutError>(&read))
                                                  UsageError(e->message);
                                              config.labels.layout =
                                                  std::get<labels::LabelLayout>(read);
                                          })
        ->type_name("FILE");
    leaf.add_flag("--json", o->json);
    auto sessionLimits = std::make_shared<SessionLimits>();
    AddSessionLimitOptions(leaf, *sessionLimits);
    OnParsed(
        leaf, chosen,
        [o, sessionLimits, &leaf] {
            o->config.retries = sessionLimits->retries;
            o->config.timeouts = sessionLimits->timeouts;
            for (const char* name : kFileOptions)
                if (leaf.count(name) > 0) o->given.insert(name);
            if (o->file.empty() && (o->config.ports.empty() || o->recipe.empty()))
                UsageError("a station needs --port and --recipe, or a station FILE");
            if (o->file.empty() && o->recipe != "identity" && o->config.image.empty())
                UsageError("the " + o->recipe + " recipe needs --image FILE");
        },
        [o](const Console& c) { return RunStation(*o, c); });
}

}  // namespace imgdl::cli
