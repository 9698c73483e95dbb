#include "app/ProgramIcon.h"

#include <QIcon>
#include <QString>

namespace imgdl {

QIcon ProgramIcon() {
    return QIcon(QStringLiteral(":/icons/image-downloader.svg"));
}

}  // namespace imgdl
