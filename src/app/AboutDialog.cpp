#include "app/AboutDialog.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "app/ProgramIcon.h"
#include "ui/DialogFont.h"
#include "ui/DialogWindow.h"
#include "ui/WindowFit.h"

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

    auto* body = new QWidget(this);
    auto* row = new QHBoxLayout(body);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(12);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1, Qt::AlignVCenter);
    row->addWidget(ok, 0, Qt::AlignTop);
    SetScreenFittingLayout(*this, body, nullptr);
}

}  // namespace imgdl
