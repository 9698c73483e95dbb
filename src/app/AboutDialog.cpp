#include "app/AboutDialog.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "app/ProgramIcon.h"
#include "ui/DialogFont.h"
#include "ui/DialogWindow.h"

namespace imgdl {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("Quorvel Information"));
    setFont(DialogFont(9));
    setWindowIcon(ProgramIcon());
    MakeCaptionedDialog(*this);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* text = new QLabel(QStringLiteral("Quorvel Ver 1.3"), this);
    text->setObjectName(QStringLiteral("aboutText"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1, Qt::AlignVCenter);
    row->addWidget(ok, 0, Qt::AlignTop);
    setFixedSize(sizeHint().expandedTo(minimumSize()));
}

}  // namespace imgdl
