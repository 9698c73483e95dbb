// imgdl ptz: list, verify and build PTZ databases and images.
#include <charconv>
#include <cstdio>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "CommandLine.h"
#include "CommandSupport.h"
#include "JsonOutput.h"
#include "common/RegularFile.h"
#include "ptz/PtzDatabase.h"
#include "ptz/PtzFileKind.h"
#include "ptz/PtzImage.h"
#include "res/StringTable.h"

namespace imgdl::cli {
namespace {

constexpr const char* kPtzUsage =
    "usage: imgdl ptz list [--json] FILE        protocols of a .pdb or .bin, \"[NNN]name\"\n"
    "       imgdl ptz verify [--json] FILE.bin  \"valid\", or the reason it is not\n"
    "       imgdl ptz build DB.pdb NUMBER... -o OUT.bin\n"
    "                                           an image of those protocols, in that order\n"
    "--json prints one JSON object instead: "
    "{\"file\",\"kind\",\"protocols\":[{\"number\",\"name\"}]}\n"
    "or {\"file\",\"valid\":true}; a refusal prints nothing on standard output.\n";

// What a list prints: "[NNN]name" lines, or one JSON object with --json.
class Listing {
  public:
    Listing(const std::string& path, bool json) : path_(path), json_(json) {}
    void add(std::FILE* out, const PtzProtocol& p) {
        if (json_)
            protocols_.push_back({{"number", p.number}, {"name", p.GetName()}});
        else
            std::fprintf(out, "[%03d]%s\n", p.number, p.GetName().c_str());
    }
    int finish(std::FILE* out, const char* kind) const {
        if (json_) PrintJson(out, {{"file", path_}, {"kind", kind}, {"protocols", protocols_}});
        return kExitOk;
    }

  private:
    const std::string& path_;
    bool json_;
    nlohmann::json protocols_ = nlohmann::json::array();
};

int ListDatabase(std::span<const std::uint8_t> bytes, const std::string& path, bool json,
                 const Console& c) {
    PtzDatabase db;
    if (!db.LoadFromBytes(bytes)) return RefuseWith(c, "not a whole PTZ database: " + path);
    Listing listing(path, json);
    PtzProtocol record;
    for (int i = 0; i < db.Count(); ++i)
        if (db.Get(i, record)) listing.add(c.out, record);
    return listing.finish(c.out, "database");
}

int ListImage(std::span<const std::uint8_t> bytes, const std::string& path, bool json,
              const Console& c) {
    PtzImage image;
    image.LoadFromBytes(bytes);
    Listing listing(path, json);
    PtzProtocol record;
    for (int s = 0; s < image.EntryCount(); ++s)
        if (image.GetSlot(s, record)) listing.add(c.out, record);
    return listing.finish(c.out, "image");
}

int List(const std::string& path, bool json, const Console& c) {
    const auto bytes = ReadRegularFile(path);
    if (!bytes) return RefuseWith(c, "cannot open " + path);
    switch (DetectPtzFileKind(*bytes)) {
        case PtzFileKind::Database:
            return ListDatabase(*bytes, path, json, c);
        case PtzFileKind::Image:
            return ListImage(*bytes, path, json, c);
        case PtzFileKind::Unknown:
            break;
    }
    return RefuseWith(c, "neither a PTZ database nor a valid PTZ image: " + path);
}

int Verify(const std::string& path, bool json, const Console& c) {
    const auto bytes = ReadRegularFile(path);
    if (!bytes) return Refuse(c, IDS_CANT_OPEN_IMAGE);
    if (!IsValidPtzImage(*bytes)) return Refuse(c, IDS_INVALID_PTZ_IMAGE);
    if (json)
        PrintJson(c.out, {{"file", path}, {"valid", true}});
    else
        std::fputs("valid\n", c.out);
    return kExitOk;
}

std::optional<std::int32_t> ParseNumber(const std::string& text) {
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

struct BuildOptions {
    std::string dbPath, outPath;
    std::vector<std::int32_t> numbers;
};

int Build(const BuildOptions& o, const Console& c) {
    const auto& numbers = o.numbers;
    // An empty slot reads as -1, so the recorder would take a negative number for the
    // end of the list.
    for (const std::int32_t n : numbers)
        if (n < 0)
            return RefuseWith(
                c, "ptz build: protocol numbers cannot be negative, got " + std::to_string(n));
    if (numbers.size() > kPtzImageSlotCount)
        return RefuseWith(c, "ptz build: an image holds at most 36 protocols, " +
                                 std::to_string(numbers.size()) + " given");
    PtzDatabase db;
    if (!db.Load(o.dbPath)) return RefuseWith(c, "cannot read the PTZ database " + o.dbPath);
    PtzImage image;
    std::set<std::int32_t> seen;
    PtzProtocol record;
    for (std::size_t s = 0; s < numbers.size(); ++s) {
        const std::int32_t n = numbers[s];
        if (!seen.insert(n).second)
            return RefuseWith(c, "ptz build: protocol " + std::to_string(n) + " given twice");
        if (!db.Get(db.FindIndex(n), record))
            return RefuseWith(c, "ptz build: no protocol " + std::to_string(n) + " in " + o.dbPath);
        image.PutSlot(static_cast<int>(s), record);
    }
    if (!image.Save(o.outPath)) return RefuseWith(c, "cannot write " + o.outPath);
    std::fprintf(c.out, "%s: %zu protocols\n", o.outPath.c_str(), numbers.size());
    return kExitOk;
}

// list and verify: one FILE, --json.
void AddReader(CLI::App& ptz, const std::string& name, Action& chosen,
               int (*run)(const std::string&, bool, const Console&)) {
    struct ReadOptions {
        std::string file;
        bool json = false;
    };
    auto o = std::make_shared<ReadOptions>();
    CLI::App& leaf = AddLeaf(ptz, name);
    leaf.add_option("FILE", o->file);
    leaf.add_flag("--json", o->json);
    OnParsed(
        leaf, chosen,
        [o] {
            if (o->file.empty()) UsageError("missing FILE");
        },
        [o, run](const Console& c) { return run(o->file, o->json, c); });
}

void AddBuild(CLI::App& ptz, Action& chosen) {
    auto o = std::make_shared<BuildOptions>();
    CLI::App& leaf = AddLeaf(ptz, "build");
    leaf.add_option("DB.pdb", o->dbPath);
    leaf.add_option_function<std::vector<std::string>>(
        "NUMBER", [&o = *o](const std::vector<std::string>& texts) {
            for (const std::string& text : texts) {
                const auto n = ParseNumber(text);
                if (!n) UsageError("'" + text + "' is not a protocol number");
                o.numbers.push_back(*n);
            }
        });
    leaf.add_option("-o", o->outPath)->type_name("OUT.bin");
    OnParsed(
        leaf, chosen,
        [o] {
            if (o->dbPath.empty() || o->outPath.empty() || o->numbers.empty())
                UsageError("give DB.pdb, at least one NUMBER and -o OUT.bin");
        },
        [o](const Console& c) { return Build(*o, c); });
}

}  // namespace

void AddPtzCommands(CLI::App& main, Action& chosen) {
    CLI::App& ptz = AddGroup(main, "ptz", kPtzUsage);
    AddReader(ptz, "list", chosen, List);
    AddReader(ptz, "verify", chosen, Verify);
    AddBuild(ptz, chosen);
}

}  // namespace imgdl::cli
