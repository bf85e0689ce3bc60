#include "platform/ScratchDb.h"

#include "platform/Database.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace qc {

std::unique_ptr<ScratchDb> ScratchDb::create(const QString& folder, const QString& baseName) {
    QDir().mkpath(folder);
    std::unique_ptr<ScratchDb> s(new ScratchDb());
    s->m_path = QDir(folder).filePath(baseName + QStringLiteral(".qcscratch"));
    QFile::remove(s->m_path);
    s->m_db = Database::open(s->m_path);
    return s;
}

ScratchDb::~ScratchDb() {
    closeAndDelete();
}

void ScratchDb::closeAndDelete() {
    if (!m_db) return;
    m_db.reset();
    QFile::remove(m_path);
    QFile::remove(m_path + QStringLiteral("-wal"));
    QFile::remove(m_path + QStringLiteral("-shm"));
}

QString ScratchDb::workFolder() {
    const QByteArray env = qgetenv("QC_WORK_DIR");
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (base.isEmpty()) base = QDir::tempPath() + QStringLiteral("/qcinput");
    return base + QStringLiteral("/work");
}

}  // namespace qc
