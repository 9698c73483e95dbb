#include "ui/FileDialogFilter.h"

#include <QString>
#include <QStringList>

namespace imgdl {
namespace {

QString QtPatterns(const QString& classic) {
    QStringList patterns = classic.split(';', Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
        pattern = pattern.trimmed();
        if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    }
    patterns.removeAll(QString());
    return patterns.isEmpty() ? QStringLiteral("*") : patterns.join(' ');
}

}  // namespace

QString ToQtFileFilter(const std::string& classic) {
    const QStringList parts = QString::fromStdString(classic).split('|');
    QStringList filters;
    for (qsizetype i = 0; i < parts.size() && !parts[i].isEmpty(); i += 2) {
        const QString label = parts[i].section('(', 0, 0).trimmed();
        const QString patterns = i + 1 < parts.size() ? parts[i + 1] : QString();
        filters << label + QStringLiteral(" (") + QtPatterns(patterns) + QStringLiteral(")");
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace imgdl
