#include "platform/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace qc {

namespace {
QString settingsKey(const QString& keyPath, const QString& valueName) {
    QString k = keyPath;
    k.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return k + u'/' + valueName;
}
}  // namespace

SettingsStore::SettingsStore() {
    const QByteArray env = qgetenv("QC_SETTINGS_FILE");
    if (!env.isEmpty()) {
        m_file = QString::fromLocal8Bit(env);
    } else {
        m_file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/QCInput/machine.ini");
    }
}

SettingsStore::SettingsStore(QString file) : m_file(std::move(file)) {}

std::optional<QString> SettingsStore::read(const QString& keyPath, const QString& valueName) const {
    QSettings s(m_file, QSettings::IniFormat);
    const QString k = settingsKey(keyPath, valueName);
    if (!s.contains(k)) return std::nullopt;
    return s.value(k).toString();
}

void SettingsStore::write(const QString& keyPath, const QString& valueName, const QString& value) {
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSettings s(m_file, QSettings::IniFormat);
    s.setValue(settingsKey(keyPath, valueName), value);
    s.sync();
}

void SettingsStore::remove(const QString& keyPath, const QString& valueName) {
    QSettings s(m_file, QSettings::IniFormat);
    s.remove(settingsKey(keyPath, valueName));
    s.sync();
}

}  // namespace qc
