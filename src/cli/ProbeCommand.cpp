// imgdl probe: the firmware version an image carries.
#include "CliRunner.h"
#include "CommandLine.h"
#include "CommandSupport.h"
#include "JsonOutput.h"
#include "common/RegularFile.h"
#include "image/ProbeFirmwareVersion.h"
#include "session/SessionPayloads.h"

namespace imgdl::cli {
namespace {

constexpr const char* kProbeUsage =
    "usage: imgdl probe [--integrated] [--verbose] [--json] FILE\n"
    "Prints the firmware version of an application image (or, with --integrated, of an\n"
    "integrated image) as MAJOR.MINOR.PATCH, and nothing else on standard output.\n"
    "--verbose shows the decompressor's diagnostics on standard error.\n"
    "--json prints {\"file\",\"version\",\"major\",\"minor\",\"patch\"} instead; a refusal\n"
    "prints nothing on standard output and its message on standard error.\n";

struct ProbeOptions {
    std::string file;
    bool integrated = false;
    bool verbose = false;
    bool json = false;
};

int RunProbe(const ProbeOptions& o, const Console& c) {
    // As the download flows do, a file that cannot be opened is refused as such before
    // the probe, whose own result 0 also stands for the version 0.0.0.
    if (!OpenRegularFileForReading(o.file)) return Refuse(c, IDS_CANT_OPEN_IMAGE);
    const std::int32_t version = ProbeFirmwareVersion(
        o.file, o.integrated ? ImageLayout::Integrated : ImageLayout::Application,
        ProbeDiagnostics(o.verbose));
    if (const auto message = ProbeFailureMessage(version)) return Refuse(c, *message);
    const auto v = static_cast<std::uint32_t>(version);
    if (o.json)
        PrintJson(c.out, {{"file", o.file},
                          {"version", FormatVersion(v)},
                          {"major", v >> 24},
                          {"minor", (v >> 16) & 0xFF},
                          {"patch", (v >> 8) & 0xFF}});
    else
        std::fprintf(c.out, "%s\n", FormatVersion(v).c_str());
    return kExitOk;
}

}  // namespace

void AddProbeCommand(CLI::App& main, Action& chosen) {
    auto o = std::make_shared<ProbeOptions>();
    CLI::App& probe = AddLeaf(main, "probe");
    probe.formatter(std::make_shared<CommandHelp>(kProbeUsage, "command"));
    probe.add_option("FILE", o->file);
    probe.add_flag("--integrated", o->integrated);
    probe.add_flag("--verbose", o->verbose);
    probe.add_flag("--json", o->json);
    OnParsed(
        probe, chosen,
        [o] {
            if (o->file.empty()) UsageError("missing FILE");
        },
        [o](const Console& c) { return RunProbe(*o, c); });
}

}  // namespace imgdl::cli
