// imgdl ptz: list, verify and build PTZ databases and images.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <vector>

#include "CliArgs.h"
#include "Commands.h"
#include "ptz/PtzDatabase.h"
#include "ptz/PtzImage.h"
#include "res/StringTable.h"

namespace imgdl::cli {
namespace {

constexpr const char* kPtzUsage =
    "usage: imgdl ptz list FILE                 protocols of a .pdb or .bin, \"[NNN]name\"\n"
    "       imgdl ptz verify FILE.bin           \"valid\", or the reason it is not\n"
    "       imgdl ptz build DB.pdb NUMBER... -o OUT.bin\n"
    "                                           an image of those protocols, in that order\n";

std::optional<std::vector<std::uint8_t>> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
}

void PrintEntry(std::FILE* out, const PtzProtocol& p) {
    std::fprintf(out, "[%03d]%s\n", p.number, p.GetName().c_str());
}

int Fail(const Console& c, const std::string& text, int code = kExitRefused) {
    std::fprintf(c.err, "imgdl: %s\n", text.c_str());
    return code;
}

int List(const std::string& path, const Console& c) {
    const auto bytes = ReadAll(path);
    if (!bytes) return Fail(c, "cannot open " + path);
    const bool database = bytes->size() >= 2 && (*bytes)[0] == 'P' && (*bytes)[1] == 'D';
    PtzProtocol record;
    if (database) {
        PtzDatabase db;
        if (!db.LoadFromBytes(*bytes)) return Fail(c, "not a whole PTZ database: " + path);
        for (int i = 0; i < db.Count(); ++i)
            if (db.Get(i, record)) PrintEntry(c.out, record);
        return kExitOk;
    }
    PtzImage image;
    if (!image.LoadFromBytes(*bytes)) return Fail(c, "not a whole PTZ image: " + path);
    // Entries fill the slots from the front; the first empty slot ends them.
    for (int s = 0; s < kPtzImageSlotCount && image.GetSlot(s, record) && record.number != -1; ++s)
        PrintEntry(c.out, record);
    return kExitOk;
}

int Verify(const std::string& path, const Console& c) {
    const auto bytes = ReadAll(path);
    if (!bytes) return Fail(c, std::string(LoadString(IDS_CANT_OPEN_IMAGE)));
    if (!IsValidPtzImage(*bytes)) {
        std::fprintf(c.err, "%s\n", std::string(LoadString(IDS_INVALID_PTZ_IMAGE)).c_str());
        return kExitRefused;
    }
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
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "list" && rest.size() == 1) return List(rest[0], c);
    if (args[0] == "verify" && rest.size() == 1) return Verify(rest[0], c);
    if (args[0] == "build") return Build(rest, c);
    std::fputs(kPtzUsage, c.err);
    return kExitUsage;
}

}  // namespace imgdl::cli
