#include "ui/DialogService.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QString>

namespace imgdl {

QString ProgramName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

}  // namespace imgdl
