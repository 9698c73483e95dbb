#include "ptztools/HexByteField.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QValidator>

namespace imgdl {
namespace {

// Turns every letter into a capital as it arrives; any text is otherwise acceptable.
class UppercaseValidator final : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

int HexDigit(QChar c) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) return c.unicode() - u'0';
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F')) return c.unicode() - u'A' + 10;
    return 0;
}

}  // namespace

QString FormatHexByte(std::uint8_t value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

std::uint8_t ParseHexByte(const QString& text) {
    unsigned value = 0;
    for (const QChar c : text) value = value * 16 + static_cast<unsigned>(HexDigit(c));
    return static_cast<std::uint8_t>(value & 0xFFu);
}

QLineEdit* MakeHexByteField(QWidget* parent, const QString& objectName) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setMaxLength(2);
    field->setValidator(new UppercaseValidator(field));
    field->setAlignment(Qt::AlignCenter);
    const QFontMetrics metrics(field->font());
    field->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("WW")) + 12);
    return field;
}

}  // namespace imgdl
