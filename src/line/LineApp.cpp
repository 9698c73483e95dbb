#include "line/LineApp.h"

#include <QApplication>
#include <QScreen>
#include <string_view>
#include <variant>

#include "image/ImageLayout.h"
#include "line/EngineControl.h"
#include "line/LineWindow.h"
#include "res/StringTable.h"
#include "station/StationFile.h"
#include "ui/DialogService.h"
#include "units/ImageSnapshot.h"

namespace imgdl::line {
namespace {

// The station of `file` as the file has it; the reason when it cannot run.
std::optional<station::StationFile> ReadLineStation(const std::string& file, std::string& error) {
    auto read = station::ReadStationFile(file);
    if (auto* e = std::get_if<station::StationFileError>(&read)) {
        error = e->message;
        return std::nullopt;
    }
    auto station = std::get<station::StationFile>(std::move(read));
    if (const auto problems = station::CheckStationConfig(station.config); !problems.empty()) {
        error = file + ": " + problems.front();
        return std::nullopt;
    }
    return station;
}

// The recipe's image, read once and checked against the pin of the file.
std::variant<std::shared_ptr<const units::ImageSnapshot>, std::string> ReadImage(
    const station::StationFile& station) {
    const units::Recipe recipe = station.config.recipe;
    if (!units::RecipeSendsImage(recipe)) return std::shared_ptr<const units::ImageSnapshot>();
    const auto snapshot =
        units::TakeImageSnapshot(station.config.image, units::RecipeImageLayout(recipe));
    if (!snapshot.image) return std::string(LoadString(snapshot.refusal));
    if (!station.imageSha256.empty() && snapshot.image->sha256 != station.imageSha256)
        return station.config.image + " is not the image the station file pins: its SHA-256 is " +
               snapshot.image->sha256 + ", the file's " + station.imageSha256;
    return snapshot.image;
}

}  // namespace

std::optional<std::string> LineArgument(std::span<char* const> arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (std::string_view(arguments[i]) != "--line") continue;
        const bool fileFollows = i + 1 < arguments.size() && arguments[i + 1][0] != '-';
        return fileFollows ? std::string(arguments[i + 1]) : std::string();
    }
    return std::nullopt;
}

int RunLineWindow(std::string file, DialogService& service) {
    // The desktop matches the window to the line's own entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("image-downloader-line"));
    if (file.empty()) {
        FileDialogRequest ask;
        ask.title = "Open a station file";
        ask.defaultExtension = "*";
        ask.filter = "Station files|*|";
        const auto chosen = service.chooseFile(ask);
        if (!chosen) return 0;
        file = *chosen;
    }
    // The station runs until the window closes, or again from its file once the window
    // saved a new set-up.
    const auto shiftStart = WallClock::now();
    for (;;) {
        std::string error;
        const auto station = ReadLineStation(file, error);
        if (!station) {
            service.showMessage(error, MessageButtons::Ok, MessageIcon::Error);
            return 2;
        }
        const auto image = ReadImage(*station);
        if (const auto* refused = std::get_if<std::string>(&image)) {
            service.showMessage(*refused, MessageButtons::Ok, MessageIcon::Error);
            return 2;
        }
        station::StationConfig config = station->config;
        if (config.ledger.empty()) config.ledger = ledger::DefaultLedgerPath();
        LineWindow window(
            config,
            [&](station::PortListener& listener) {
                return MakeEngineControl(config, std::get<0>(image), listener);
            },
            service, shiftStart);
        window.setStationFile(file, *station);
        bool restart = false;
        QObject::connect(&window, &LineWindow::setupSaved, &window, [&restart] {
            restart = true;
            QApplication::quit();
        });
        // A bench's screen is the station's: the window takes all of it.
        window.resize(QApplication::primaryScreen()->availableGeometry().size());
        window.show();
        if (const QString refused = window.start(); !refused.isEmpty()) {
            service.showMessage(refused.toStdString(), MessageButtons::Ok, MessageIcon::Error);
            return 2;
        }
        const int status = QApplication::exec();
        if (!restart) return status;
    }
}

}  // namespace imgdl::line
