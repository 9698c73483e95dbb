// imgdl ptz: list, verify and build PTZ databases and images.
#include <charconv>
#include <cstdio>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "CliArgs.h"
#include "Commands.h"
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

int Fail(const Console& c, const std::string& text, int code = kExitRefused) {
    std::fprintf(c.err, "imgdl: %s\n", text.c_str());
    return code;
}

int ListDatabase(std::span<const std::uint8_t> bytes, const std::string& path, bool json,
                 const Console& c) {
    PtzDatabase db;
    if (!db.LoadFromBytes(bytes)) return Fail(c, "not a whole PTZ database: " + path);
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
    if (!bytes) return Fail(c, "cannot open " + path);
    switch (DetectPtzFileKind(*bytes)) {
        case PtzFileKind::Database:
            return ListDatabase(*bytes, path, json, c);
        case PtzFileKind::Image:
            return ListImage(*bytes, path, json, c);
        case PtzFileKind::Unknown:
            break;
    }
    return Fail(c, "neither a PTZ database nor a valid PTZ image: " + path);
}

// The PTZ download's own messages, as "imgdl send ptz" shows them.
int Refuse(const Console& c, int stringId) {
    std::fprintf(c.err, "%s\n", std::string(LoadString(stringId)).c_str());
    return kExitRefused;
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

int Build(const std::vector<std::string>& args, const Console& c) {
    std::string dbPath, outPath;
    std::vector<std::int32_t> numbers;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            outPath = args[++i];
        else if (dbPath.empty())
            dbPath = args[i];
        else if (const auto n = ParseNumber(args[i]))
            numbers.push_back(*n);
        else
            return Fail(c, "ptz build: '" + args[i] + "' is not a protocol number", kExitUsage);
    }
    if (dbPath.empty() || outPath.empty() || numbers.empty())
        return Fail(c, "ptz build: give DB.pdb, at least one NUMBER and -o OUT.bin", kExitUsage);
    // An empty slot reads as -1, so the recorder would take a negative number for the
    // end of the list.
    for (const std::int32_t n : numbers)
        if (n < 0)
            return Fail(c,
                        "ptz build: protocol numbers cannot be negative, got " + std::to_string(n));
    if (numbers.size() > kPtzImageSlotCount)
        return Fail(c, "ptz build: an image holds at most 36 protocols, " +
                           std::to_string(numbers.size()) + " given");
    PtzDatabase db;
    if (!db.Load(dbPath)) return Fail(c, "cannot read the PTZ database " + dbPath);
    PtzImage image;
    std::set<std::int32_t> seen;
    PtzProtocol record;
    for (std::size_t s = 0; s < numbers.size(); ++s) {
        const std::int32_t n = numbers[s];
        if (!seen.insert(n).second)
            return Fail(c, "ptz build: protocol " + std::to_string(n) + " given twice");
        if (!db.Get(db.FindIndex(n), record))
            return Fail(c, "ptz build: no protocol " + std::to_string(n) + " in " + dbPath);
        image.PutSlot(static_cast<int>(s), record);
    }
    if (!image.Save(outPath)) return Fail(c, "cannot write " + outPath);
    std::fprintf(c.out, "%s: %zu protocols\n", outPath.c_str(), numbers.size());
    return kExitOk;
}

}  // namespace

int RunPtz(const std::vector<std::string>& args, const Console& c) {
    if (args.empty()) {
        std::fputs(kPtzUsage, c.err);
        return kExitUsage;
    }
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            std::fputs(kPtzUsage, c.out);
            return kExitOk;
        }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    const bool readsOne = args[0] == "list" || args[0] == "verify";
    const bool json = readsOne && TakeJsonFlag(rest);
    if (args[0] == "list" && rest.size() == 1) return List(rest[0], json, c);
    if (args[0] == "verify" && rest.size() == 1) return Verify(rest[0], json, c);
    if (args[0] == "build") return Build(rest, c);
    std::fputs(kPtzUsage, c.err);
    return kExitUsage;
}

}  // namespace imgdl::cli
