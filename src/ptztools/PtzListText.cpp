#include "ptztools/PtzListText.h"

#include <limits>

namespace imgdl {

QString PtzListText(const PtzProtocol& protocol) {
    return QStringLiteral("[%1]").arg(protocol.number, 3, 10, QLatin1Char('0')) +
           PtzNameText(protocol);
}

std::optional<std::int32_t> ParsePtzListNumber(const QString& text) {
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    if (!text.startsWith(QLatin1Char('[')) || close < 2) return std::nullopt;
    std::int64_t value = 0;
    for (qsizetype i = 1; i < close; ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

QString PtzNameText(const PtzProtocol& protocol) {
    const std::string name = protocol.GetName();
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

std::string PtzNameBytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace imgdl
