#include "ui/DialogService.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QString>

namespace imgdl {

MessageAnswer FirstAnswer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::YesNo:
            return MessageAnswer::Yes;
        case MessageButtons::SaveDiscardCancel:
            return MessageAnswer::Save;
        case MessageButtons::Ok:
            break;
    }
    return MessageAnswer::Ok;
}

QString ProgramName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

}  // namespace imgdl
