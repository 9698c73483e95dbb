#include "ui/DialogFont.h"

#include <QFont>
#include <QFontDatabase>
#include <QString>

namespace imgdl {

QFont DialogFont(int pointSize) {
    QFont font;
    for (const char* family : {"Arial", "Liberation Sans"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            font.setFamily(QString::fromLatin1(family));
            break;
        }
    }
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    return font;
}

}  // namespace imgdl
