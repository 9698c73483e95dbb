// Image Downloader: writes firmware and PTZ images into a recorder over TCP.
#include <QApplication>
#include <iostream>

#include "app/DownloaderApp.h"
#include "app/InfoOptions.h"
#include "line/LineApp.h"
#include "ui/QtDialogService.h"

int main(int argc, char** argv) {
    if (const std::optional<int> status =
            imgdl::AnswerInfoOption({argv, static_cast<std::size_t>(argc)}, std::cout))
        return *status;
    QApplication application(argc, argv);
    // Lets the desktop match the window to its entry (and so to its icon and name).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.imgdl.ImageDownloader"));
    imgdl::QtDialogService service;
    if (auto file = imgdl::line::LineArgument({argv, static_cast<std::size_t>(argc)}))
        return imgdl::line::RunLineWindow(std::move(*file), service);
    imgdl::DownloaderApp downloader(service);
    return downloader.run();
}
