// Shows the PTZ data editor or the PTZ image creator filled with a few protocols, for
// looking at the layouts on a real display (screenshots). Not run by ctest.
//   ptztools_preview editor|creator [seconds]
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "ptz/PtzDatabase.h"
#include "ptztools/PtzCreatorProcessState.h"
#include "ptztools/PtzDataEditorDialog.h"
#include "ptztools/PtzImageCreatorDialog.h"
#include "ui/QtDialogService.h"

namespace {

imgdl::PtzProtocol Sample(std::int32_t number, const char* name) {
    imgdl::PtzProtocol protocol = imgdl::PtzProtocol::MakeNew(number);
    protocol.SetName(name);
    protocol.baudRate = 9600;
    protocol.parity = 3;
    protocol.dataBits = 3;
    for (std::size_t k = 0; k < protocol.commands.size(); ++k) {
        imgdl::PtzCommand& command = protocol.commands[k];
        command.enable = k % 2;
        command.repeatCount = 1;
        command.commandLength = 7;
        for (std::size_t i = 0; i < command.data.size(); ++i)
            command.data[i] = static_cast<std::uint8_t>(i * 0x11 + k);
    }
    return protocol;
}

imgdl::PtzDatabase SampleDatabase() {
    imgdl::PtzDatabase database;
    const std::pair<std::int32_t, const char*> protocols[] = {
        {12, "Pelco-D"}, {3, "Pelco-P"}, {41, "Samsung SCC"}, {7, "Dome"}, {5120, "Vicon"}};
    for (const auto& [number, name] : protocols) database.Append(Sample(number, name));
    return database;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString which = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("creator");
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
    imgdl::QtDialogService service;
    const imgdl::PtzDatabase database = SampleDatabase();
    std::unique_ptr<QDialog> dialog;
    if (which == QLatin1String("editor")) {
        dialog =
            std::make_unique<imgdl::PtzDataEditorDialog>(service, Sample(7, "Dome"), database, -1);
    } else {
        const std::string path = QDir::temp().filePath("ptztools_preview.pdb").toStdString();
        database.Save(path);
        imgdl::ThePtzCreatorProcessState().lastDatabasePath = path;
        auto creator = std::make_unique<imgdl::PtzImageCreatorDialog>(service);
        auto* list = creator->findChild<QListWidget*>(QStringLiteral("databaseList"));
        for (const int row : {3, 0, 1}) {
            list->setCurrentRow(row);
            creator->findChild<QPushButton*>(QStringLiteral("copyToImageButton"))->click();
        }
        dialog = std::move(creator);
    }
    dialog->show();  // placed as a dialog places itself
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
