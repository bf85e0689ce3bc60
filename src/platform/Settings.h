#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace qc {

// The machine's settings store (the registry of the old platform). Values are
// kept under key paths such as "SOFTWARE\Merovex\WF\V8.50\Appearance" with a value
// name; the file is an INI file in the user's configuration folder, or the file
// named by the environment variable QC_SETTINGS_FILE (tests point it elsewhere).
class SettingsStore {
  public:
    SettingsStore();
    explicit SettingsStore(QString file);

    // The value, or nothing when the key or the value is missing.
    [[nodiscard]] std::optional<QString> read(const QString& keyPath, const QString& valueName) const;
    void write(const QString& keyPath, const QString& valueName, const QString& value);
    void remove(const QString& keyPath, const QString& valueName);
    [[nodiscard]] QString fileName() const { return m_file; }

  private:
    QString m_file;
};

}  // namespace qc
