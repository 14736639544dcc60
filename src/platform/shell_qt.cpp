#include "platform/shell_qt.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <QUrl>

namespace platform {

QString ToQtFilter(const std::string& filter) {
    const QStringList fields = QString::fromUtf8(filter.c_str()).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        // A description that already shows its patterns in parentheses is
        // what the toolkit reads patterns from; others get them appended.
        const QString& description = fields[i];
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('('))) {
            filters << description;
            continue;
        }
        QString patterns = fields[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

bool QtShell::GetOpenFileNames(QWidget* owner, const std::string& defaultSuffix,
                               const std::string& filter, std::vector<std::string>& paths) {
    QFileDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("melvaneOpenFileDialog"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(ToQtFilter(filter));
    QString suffix = QString::fromUtf8(defaultSuffix.c_str());
    if (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    paths.clear();
    for (const QString& file : dialog.selectedFiles()) {
        paths.push_back(QFile::encodeName(QDir::cleanPath(file)).toStdString());
    }
    return true;
}

bool QtShell::OpenDocument(const std::string& path) {
    const QString file =
        QDir::cleanPath(QDir::current().absoluteFilePath(QFile::decodeName(path.c_str())));
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace platform
