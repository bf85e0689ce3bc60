#include "host/LoginThrottle.h"

#include "platform/Database.h"
#include "platform/Dialect.h"
#include "platform/Schema.h"

#include <QDateTime>

#include <algorithm>

namespace qc::LoginThrottle {

namespace {

const QString kTable = QStringLiteral("qc_login_fail");
constexpr int kFreeFailures = 3;

// delayAfter() of the integer expression `failures`, in SQL.
SqlFragment delayExpression(const QString& failures, const Dialect& dialect) {
    SqlFragment f{QStringLiteral("CASE"), {}};
    for (int n = 1; delayAfter(n) < kMaxDelaySeconds; ++n) {
        f.sql += QStringLiteral(" WHEN %1 = ? THEN %2").arg(failures, dialect.typedInt());
        f.binds << n << delayAfter(n);
    }
    f.sql += QStringLiteral(" ELSE %1 END").arg(dialect.typedInt());
    f.binds << kMaxDelaySeconds;
    return f;
}

}  // namespace

int delayAfter(int failures) {
    if (failures <= kFreeFailures) return 0;
    qint64 delay = 1;
    for (int n = kFreeFailures + 1; n < failures && delay < kMaxDelaySeconds; ++n) delay *= 2;
    return static_cast<int>(std::min<qint64>(delay, kMaxDelaySeconds));
}

void ensureTable(Database& db) {
    if (db.tableExists(kTable)) return;
    db.execScript(createStatements(*findTable(kTable), db.dialect()));
}

qint64 beginAttempt(Database& db, const QString& userId) {
    const QString now = db.dialect().nowEpoch();
    const SqlFragment next = delayExpression(QStringLiteral("(qc_login_fail.iFailures + 1)"), db.dialect());
    // One statement counts the attempt unless the name has to wait, so that two
    // attempts at once cannot both pass on the same count.
    const QString sql = QStringLiteral(
                            "INSERT INTO qc_login_fail (cUserId, iFailures, iNextTry) VALUES (?, 1, %1 + ?) "
                            "ON CONFLICT (cUserId) DO UPDATE SET iFailures = qc_login_fail.iFailures + 1, "
                            "iNextTry = %1 + %2 WHERE qc_login_fail.iNextTry <= %1")
                            .arg(now, next.sql);
    QVariantList binds{userId, delayAfter(1)};
    binds += next.binds;
    if (db.execAffected(sql, binds) == 1) return 0;
    // Refused a moment before the wait ran out: still at least one second.
    return std::max<qint64>(1, secondsToWait(db, userId));
}

qint64 secondsToWait(Database& db, const QString& userId) {
    const QVariant left =
        db.scalar(QStringLiteral("SELECT iNextTry - %1 FROM qc_login_fail WHERE cUserId = ?")
                      .arg(db.dialect().nowEpoch()),
                  {userId});
    return std::max<qint64>(0, left.toLongLong());
}

void succeeded(Database& db, const QString& userId) {
    db.exec(QStringLiteral("DELETE FROM qc_login_fail WHERE cUserId = ?"), {userId});
}

QString waitNote(qint64 seconds) {
    return QStringLiteral("连续登录失败次数过多，请在 %1 秒后（%2 以后）再试。")
        .arg(seconds)
        .arg(QDateTime::currentDateTime().addSecs(seconds).toString(QStringLiteral("HH:mm:ss")));
}

}  // namespace qc::LoginThrottle
