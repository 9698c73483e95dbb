#include "station/StationFile.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>

#include "common/RegularFile.h"
#include "ledger/Ledger.h"
#include "ledger/RedactUri.h"

namespace imgdl::station {
namespace {

namespace fs = std::filesystem;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::optional<std::chrono::milliseconds> Seconds(std::string_view text, bool zeroAllowed) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) ||
        seconds < 0 || (seconds == 0 && !zeroAllowed) || seconds > 24 * 3600)
        return std::nullopt;
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

std::string SecondsText(std::chrono::milliseconds time) {
    std::ostringstream text;
    text << static_cast<double>(time.count()) / 1000;
    return text.str();
}

// Where a path of the file points: relative ones from the file's folder.
std::string Anchored(std::string_view value, const std::string& path) {
    const fs::path p{std::string(value)};
    if (p.is_absolute()) return p.string();
    return (fs::path(path).parent_path() / p).lexically_normal().string();
}

bool IsHex64(std::string_view text) {
    return text.size() == 64 &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

class Reader {
  public:
    explicit Reader(const std::string& path) : path_(path) {}

    // One "key = value" line; an error message when it does not fit.
    std::string apply(std::string_view key, std::string_view value) {
        StationConfig& c = file_.config;
        if (key == "port") return port(value);
        if (!seen_.insert(std::string(key)).second) return std::string(key) + " is given twice";
        if (key == "recipe") {
            const auto recipe = units::ParseRecipe(value);
            if (!recipe)
                return std::string("recipe must be one of ") + units::kRecipeNames + ", got '" +
                       std::string(value) + "'";
            c.recipe = *recipe;
            return {};
        }
        if (key == "image") {
            c.image = Anchored(value, path_);
            return {};
        }
        if (key == "image-sha256") {
            if (!IsHex64(value)) return "image-sha256 must be 64 hex digits";
            file_.imageSha256 = std::string(value);
            for (char& ch : file_.imageSha256) ch = static_cast<char>(std::tolower(ch));
            return {};
        }
        if (key == "ledger") return ledger(value);
        if (key == "label-folder") {
            c.labels.folder = Anchored(value, path_);
            return {};
        }
        if (key == "label-print") {
            c.labels.printer = std::string(value);
            return {};
        }
        if (key == "label-layout") return layout(value);
        if (key == "retries") return retries(value);
        return timing(key, value);
    }

    StationFile take() { return std::move(file_); }

  private:
    std::string port(std::string_view value) {
        std::string error;
        const auto parsed = ParseStationPort(value, error);
        if (!parsed) return error + ", got '" + std::string(value) + "'";
        file_.config.ports.push_back(*parsed);
        return {};
    }
    std::string ledger(std::string_view value) {
        if (ledger::IsPostgresUri(value)) {
            if (!ledger::UriPasswords(value).empty())
                return "the ledger's password does not belong in a station file: keep it in "
                       "~/.pgpass";
            file_.config.ledger = std::string(value);
        } else {
            file_.config.ledger = Anchored(value, path_);
        }
        return {};
    }
    std::string layout(std::string_view value) {
        auto read = labels::ReadLabelLayout(Anchored(value, path_));
        if (auto* e = std::get_if<labels::LayoutError>(&read)) return e->message;
        file_.config.labels.layout = std::get<labels::LabelLayout>(read);
        file_.labelLayout = Anchored(value, path_);
        return {};
    }
    std::string retries(std::string_view value) {
        int n = -1;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (error != std::errc() || end != value.data() + value.size() || n < 0 || n > 100)
            return "retries must be a whole number from 0 to 100";
        file_.config.retries = n;
        return {};
    }
    std::string timing(std::string_view key, std::string_view value) {
        StationConfig& c = file_.config;
        struct Timing {
            const char* key;
            std::chrono::milliseconds* field;
            bool zeroAllowed;
        };
        const Timing timings[] = {
            {"settle", &c.settle, true},
            {"gone-after", &c.goneAfter, false},
            {"ledger-timeout", &c.ledgerWait, false},
            {"connect-timeout", &c.timeouts.connect, false},
            {"ack-timeout", &c.timeouts.firstAck, false},
            {"write-timeout", &c.timeouts.sendStall, false},
        };
        for (const Timing& t : timings) {
            if (key != t.key) continue;
            const auto time = Seconds(value, t.zeroAllowed);
            if (!time)
                return std::string(key) + " must be a number of seconds, got '" +
                       std::string(value) + "'";
            *t.field = *time;
            // Every answer the recorder owes, as imgdl's --ack-timeout.
            if (key == "ack-timeout") c.timeouts.handshakeReply = c.timeouts.writtenAck = *time;
            return {};
        }
        return "unknown key '" + std::string(key) + "'";
    }

    std::string path_;
    StationFile file_;
    std::set<std::string, std::less<>> seen_;
};

}  // namespace

std::variant<StationFile, StationFileError> ParseStationFile(std::string_view text,
                                                             const std::string& path) {
    Reader reader(path);
    int number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        // A '#' starts a comment only at the line's start or after a blank, so that a
        // URI's fragment or a name with '#' stays whole.
        const auto hash = line.find(" #");
        line = Trim(Trim(line).starts_with('#') ? std::string_view{} : line.substr(0, hash));
        if (line.empty()) continue;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            return StationFileError{where + "expected 'key = value', got '" + std::string(line) +
                                    "'"};
        if (std::string e =
                reader.apply(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
            !e.empty())
            return StationFileError{where + e};
    }
    return reader.take();
}

std::variant<StationFile, StationFileError> ReadStationFile(const std::string& path) {
    const SmallTextFile file = ReadSmallTextFile(path, 1024 * 1024, "a station file");
    if (!file.error.empty()) return StationFileError{file.error};
    return ParseStationFile(file.text, path);
}

std::string FormatStationFile(const StationFile& file, const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    const auto relative = [&](const std::string& p) {
        const fs::path r = fs::path(p).lexically_relative(folder.empty() ? "." : folder);
        return r.empty() || r.string().starts_with("..") ? p : r.string();
    };
    const StationConfig& c = file.config;
    std::ostringstream out;
    out << "# imgdl station set-up; relative paths are relative to this file\n";
    out << "recipe = " << units::RecipeName(c.recipe) << "\n";
    if (!c.image.empty()) out << "image = " << relative(c.image) << "\n";
    if (!file.imageSha256.empty()) out << "image-sha256 = " << file.imageSha256 << "\n";
    if (!c.ledger.empty())
        out << "ledger = "
            << (ledger::IsPostgresUri(c.ledger) ? ledger::RedactUri(c.ledger) : relative(c.ledger))
            << "\n";
    out << "settle = " << SecondsText(c.settle) << "\n";
    out << "gone-after = " << SecondsText(c.goneAfter) << "\n";
    out << "retries = " << c.retries << "\n";
    const SessionTimeouts defaults;
    if (c.timeouts.connect != defaults.connect)
        out << "connect-timeout = " << SecondsText(c.timeouts.connect) << "\n";
    if (c.timeouts.firstAck != defaults.firstAck)
        out << "ack-timeout = " << SecondsText(c.timeouts.firstAck) << "\n";
    if (c.timeouts.sendStall != defaults.sendStall)
        out << "write-timeout = " << SecondsText(c.timeouts.sendStall) << "\n";
    if (c.ledgerWait != StationConfig{}.ledgerWait)
        out << "ledger-timeout = " << SecondsText(c.ledgerWait) << "\n";
    if (!c.labels.folder.empty()) out << "label-folder = " << relative(c.labels.folder) << "\n";
    if (!c.labels.printer.empty()) out << "label-print = " << c.labels.printer << "\n";
    if (!file.labelLayout.empty()) out << "label-layout = " << relative(file.labelLayout) << "\n";
    for (const StationPort& p : c.ports)
        out << "port = " << p.name << "=" << p.address.text() << "\n";
    return out.str();
}

}  // namespace imgdl::station
