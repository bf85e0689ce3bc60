#pragma once

#include <QString>

#include <memory>

namespace qc {

class Database;

// The scratch database of one running component: a SQLite file in the work folder,
// created when a window opens and deleted when it closes. It holds small tables
// such as the print header and footer.
class ScratchDb {
  public:
    // Creates <folder>/<baseName>.qcscratch, deleting a stale file of that name first
    // (a failure to delete is ignored).
    static std::unique_ptr<ScratchDb> create(const QString& folder, const QString& baseName);
    ~ScratchDb();
    ScratchDb(const ScratchDb&) = delete;
    ScratchDb& operator=(const ScratchDb&) = delete;

    [[nodiscard]] Database& db() { return *m_db; }
    [[nodiscard]] QString filePath() const { return m_path; }
    // Closes the database and deletes its file; errors are ignored.
    void closeAndDelete();

    // The work folder of the application (where scratch files live).
    static QString workFolder();

  private:
    ScratchDb() = default;
    std::unique_ptr<Database> m_db;
    QString m_path;
};

}  // namespace qc
