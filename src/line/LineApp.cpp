#include "line/LineApp.h"

#include <QApplication>
#include <QScreen>
#include <string_view>

#include "image/ImageLayout.h"
#include "line/EngineControl.h"
#include "line/LineWindow.h"
#include "res/StringTable.h"
#include "ui/DialogService.h"
#include "units/ImageSnapshot.h"

namespace imgdl::line {
namespace {

// The station's settings from its file; the reason when there are none.
std::optional<station::StationConfig> ReadLineConfig(const std::string& file, std::string& error) {
    // TODO: station::ReadStationFile once the engine reads station files.
    error = "cannot read the station file " + file;
    return std::nullopt;
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
    std::string error;
    const auto config = ReadLineConfig(file, error);
    if (!config) {
        service.showMessage(error, MessageButtons::Ok, MessageIcon::Error);
        return 2;
    }
    std::shared_ptr<const units::ImageSnapshot> image;
    if (config->recipe == units::Recipe::Integrated) {
        const auto snapshot = units::TakeImageSnapshot(config->image, ImageLayout::Integrated);
        if (!snapshot.image) {
            service.showMessage(LoadString(snapshot.refusal), MessageButtons::Ok,
                                MessageIcon::Error);
            return 2;
        }
        image = snapshot.image;
    }
    LineWindow window(*config, [&](station::PortListener& listener) {
        return MakeEngineControl(*config, image, listener);
    });
    // A bench's screen is the station's: the window takes all of it.
    window.resize(QApplication::primaryScreen()->availableGeometry().size());
    window.show();
    if (const QString refused = window.start(); !refused.isEmpty()) {
        service.showMessage(refused.toStdString(), MessageButtons::Ok, MessageIcon::Error);
        return 2;
    }
    return QApplication::exec();
}

}  // namespace imgdl::line
