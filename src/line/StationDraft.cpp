#include "line/StationDraft.h"

#include <filesystem>

#include "labels/UnitLabels.h"
#include "res/StringTable.h"
#include "units/ImageSnapshot.h"

namespace imgdl::line {
namespace {

namespace fs = std::filesystem;

// `p` as the file writes it: relative to the file's folder when it lies below it.
std::string Relative(const std::string& p, const std::string& path) {
    if (p.empty() || p.find("://") != std::string::npos) return p;
    const fs::path folder = fs::path(path).parent_path();
    const fs::path r = fs::path(p).lexically_relative(folder.empty() ? "." : folder);
    return r.empty() || r.string().starts_with("..") ? p : r.string();
}

std::string PortLine(const PortDraft& port) {
    std::string line = port.name + "=" + port.address;
    if (!port.interface.empty()) line += "%" + port.interface;
    return line;
}

// The image the recipe sends, read as the station will read it; empty when it can be.
std::string ImageProblem(const station::StationConfig& config, std::string& sha256) {
    if (!units::RecipeSendsImage(config.recipe)) return {};
    if (config.image.empty())
        return "the recipe " + std::string(units::RecipeName(config.recipe)) +
               " sends an image: choose one";
    const auto snapshot =
        units::TakeImageSnapshot(config.image, units::RecipeImageLayout(config.recipe));
    if (!snapshot.image) return config.image + ": " + std::string(LoadString(snapshot.refusal));
    sha256 = snapshot.image->sha256;
    return {};
}

}  // namespace

StationDraft DraftOf(const station::StationFile& file, const std::string& path) {
    const station::StationConfig& c = file.config;
    StationDraft draft;
    for (const auto& port : c.ports) {
        const std::string text = port.address.text();
        const auto percent = text.find('%');
        draft.ports.push_back({port.name, text.substr(0, percent),
                               percent == std::string::npos ? "" : text.substr(percent + 1)});
    }
    draft.recipe = c.recipe;
    draft.image = Relative(c.image, path);
    draft.ledger = Relative(c.ledger, path);
    draft.settle = c.settle;
    draft.goneAfter = c.goneAfter;
    return draft;
}

std::variant<station::StationFile, std::vector<std::string>> FileOf(
    const StationDraft& draft, const station::StationFile& base, const std::string& path) {
    std::vector<std::string> problems;
    // The form's fields as lines of a station file: the parser anchors the relative paths,
    // refuses a password in the ledger's URI and names a bad port, as for a file.
    std::string text;
    text += "recipe = " + std::string(units::RecipeName(draft.recipe)) + "\n";
    if (!draft.image.empty()) text += "image = " + draft.image + "\n";
    if (!draft.ledger.empty()) text += "ledger = " + draft.ledger + "\n";
    station::StationFile file = base;
    file.config.ports.clear();
    for (std::size_t i = 0; i < draft.ports.size(); ++i) {
        std::string error;
        const std::string line = PortLine(draft.ports[i]);
        if (const auto port = station::ParseStationPort(line, error))
            file.config.ports.push_back(*port);
        else
            problems.push_back("Port " + std::to_string(i + 1) + ": " + error);
    }
    const auto parsed = station::ParseStationFile(text, path);
    if (const auto* e = std::get_if<station::StationFileError>(&parsed)) {
        // "FILE:LINE: what": the line is the form's own, of no use to a person.
        const std::string& message = e->message;
        const auto colon = message.find(": ", path.size());
        problems.push_back(colon == std::string::npos ? message : message.substr(colon + 2));
        return problems;
    }
    const station::StationConfig& fields = std::get<station::StationFile>(parsed).config;
    file.config.recipe = fields.recipe;
    file.config.image = fields.image;
    file.config.ledger = fields.ledger;
    file.config.settle = draft.settle;
    file.config.goneAfter = draft.goneAfter;
    if (problems.empty())
        for (const auto& problem : station::CheckStationConfig(file.config))
            problems.push_back(problem);
    file.imageSha256.clear();
    if (const std::string problem = ImageProblem(file.config, file.imageSha256); !problem.empty())
        problems.push_back(problem);
    if (!problems.empty()) return problems;
    // What imgdl station will make of the saved text: anything it refuses is said here.
    const auto again = station::ParseStationFile(station::FormatStationFile(file, path), path);
    if (const auto* e = std::get_if<station::StationFileError>(&again))
        return std::vector<std::string>{e->message};
    return file;
}

std::string SaveStationFile(const station::StationFile& file, const std::string& path) {
    return labels::WriteFileWhole(path, station::FormatStationFile(file, path));
}

}  // namespace imgdl::line
