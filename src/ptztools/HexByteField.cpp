#include "ptztools/HexByteField.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QValidator>
#include <algorithm>

#include "ptztools/SelectAllOnFocus.h"

namespace imgdl {
namespace {

int HexDigit(QChar c) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) return c.unicode() - u'0';
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F')) return c.unicode() - u'A' + 10;
    return -1;
}

// Takes hexadecimal digits only, typed or pasted, and turns them into capitals as they
// arrive: any other character would be stored as a 0 digit without a sign.
class HexDigitsValidator final : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toUpper();
        for (const QChar c : input)
            if (HexDigit(c) < 0) return Invalid;
        return Acceptable;
    }
};

}  // namespace

QString FormatHexByte(std::uint8_t value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

std::uint8_t ParseHexByte(const QString& text) {
    unsigned value = 0;
    for (const QChar c : text) value = value * 16 + static_cast<unsigned>(std::max(HexDigit(c), 0));
    return static_cast<std::uint8_t>(value & 0xFFu);
}

QLineEdit* MakeHexByteField(QWidget* parent, const QString& objectName) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setMaxLength(2);
    field->setValidator(new HexDigitsValidator(field));
    SelectAllOnFocus(*field);
    field->setAlignment(Qt::AlignCenter);
    const QFontMetrics metrics(field->font());
    field->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("WW")) + 12);
    return field;
}

}  // namespace imgdl
