#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace common::ui {

QString SettingsFilePathFor(const QString& executablePath) {
    const QFileInfo exe(executablePath);
    const QString name = exe.completeBaseName() + QStringLiteral(".INI");
    const QString dir = exe.absolutePath();
    if (::access(QFile::encodeName(dir).constData(), W_OK) == 0) return QDir(dir).filePath(name);
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    const QString own = QDir(config).filePath(exe.completeBaseName());
    QDir().mkpath(own);
    return QDir(own).filePath(name);
}

QString SettingsFilePath() { return SettingsFilePathFor(QCoreApplication::applicationFilePath()); }

}  // namespace common::ui
