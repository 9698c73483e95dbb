#include "ptztools/PtzNameField.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include "ptz/PtzProtocol.h"
#include "ui/MakeWidget.h"

namespace imgdl {
namespace {

constexpr int kNameCharacters = static_cast<int>(kPtzNameSize) - 1;  // and a NUL

// The tools write a name's characters as single Latin-1 bytes; any other character would
// be stored as "?". Names read from files are Latin-1 by the same rule, so they stay
// editable whatever their bytes.
class Latin1Validator final : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        for (const QChar c : input)
            if (c.unicode() > 0xFF) return Invalid;
        return Acceptable;
    }
};

}  // namespace

PtzNameField::PtzNameField(QWidget* parent)
    : QWidget(parent),
      edit_(Make<QLineEdit>(this, QStringLiteral("nameEdit"))),
      length_(Make<QLabel>(this, QStringLiteral("nameLengthLabel"))),
      hint_(Make<QLabel>(parent, QStringLiteral("nameHintLabel"))) {
    edit_->setMaxLength(kNameCharacters);
    edit_->setValidator(new Latin1Validator(edit_));
    // The hint keeps its room while hidden, so that its coming does not move the form,
    // and takes the width it is given rather than widening the form.
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setRetainSizeWhenHidden(true);
    hint_->setSizePolicy(policy);
    hint_->hide();
    length_->setMinimumWidth(
        length_->fontMetrics().horizontalAdvance(QStringLiteral("%1/%1").arg(kNameCharacters)));
    length_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_, 1);
    layout->addWidget(length_);
    setFocusProxy(edit_);

    connect(edit_, &QLineEdit::textChanged, this, &PtzNameField::ShowLength);
    connect(edit_, &QLineEdit::textEdited, hint_, &QWidget::hide);
    connect(edit_, &QLineEdit::inputRejected, this, &PtzNameField::ExplainRefusal);
    ShowLength();
}

void PtzNameField::ShowLength() {
    length_->setText(QStringLiteral("%1/%2").arg(edit_->text().size()).arg(kNameCharacters));
}

void PtzNameField::ExplainRefusal() {
    hint_->setText(edit_->text().size() >= kNameCharacters
                       ? QStringLiteral("A name holds at most %1 characters.").arg(kNameCharacters)
                       : QStringLiteral("A name holds Latin-1 characters only (A-Z, 0-9, \u00e9, "
                                        "\u00df ...)."));
    hint_->show();
}

}  // namespace imgdl
