// Image Downloader: writes firmware and PTZ images into a recorder over TCP.
#include <QApplication>

#include "app/DownloaderApp.h"
#include "ui/QtDialogService.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    imgdl::QtDialogService service;
    imgdl::DownloaderApp downloader(service);
    return downloader.run();
}
