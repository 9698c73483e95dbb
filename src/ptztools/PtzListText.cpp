#include "ptztools/PtzListText.h"

namespace imgdl {

QString PtzListText(const PtzProtocol& protocol) {
    return QStringLiteral("[%1]").arg(protocol.number, 3, 10, QLatin1Char('0')) +
           PtzNameText(protocol);
}

std::unique_ptr<QListWidgetItem> MakePtzListItem(const PtzProtocol& protocol) {
    auto item = std::make_unique<QListWidgetItem>();
    SetPtzListItem(*item, protocol);
    return item;
}

void SetPtzListItem(QListWidgetItem& item, const PtzProtocol& protocol) {
    item.setText(PtzListText(protocol));
    item.setData(Qt::UserRole, QVariant::fromValue<qint32>(protocol.number));
}

std::int32_t PtzListItemNumber(const QListWidgetItem& item) {
    return item.data(Qt::UserRole).value<qint32>();
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
