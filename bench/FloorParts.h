#pragma once

// A floor's own parts: each plain statement of a floor, and its commit, timed by
// itself, so that a report shows where the floor's time goes. With
// QC_BENCH_EXPLAIN naming a file, a server runs each statement under
// EXPLAIN (ANALYZE, BUFFERS) instead and its plan, as run, is appended to the
// file: the same writes, with the server's own account of them (the figures of
// such a run carry the cost of that accounting). A DROP has no plan; it only runs.

#include "platform/Database.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <utility>

namespace qc::bench {

class FloorParts {
  public:
    // `floor` names the floor in the counters (<floor>_<part>_s) and in the
    // plans; `work` names the benchmark in the plans. Without `explained` the
    // statements are only run (a floor run to put the account back, say).
    FloorParts(QString floor, QString work, bool explained = true)
        : m_floor(std::move(floor)), m_work(std::move(work)), m_explained(explained) {}

    // Runs one statement of the floor, inside the caller's unit of work, adding
    // its seconds to `part`.
    void run(Database& db, const QString& part, const QString& sql, const QVariantList& binds = {}) {
        const QString plans = qEnvironmentVariable("QC_BENCH_EXPLAIN");
        const bool explain =
            m_explained && !plans.isEmpty() && db.kind() != DbKind::Sqlite && !sql.startsWith(u"DROP");
        QElapsedTimer t;
        t.start();
        QSqlQuery q = db.exec(explain ? QStringLiteral("EXPLAIN (ANALYZE, BUFFERS) ") + sql : sql, binds);
        QStringList plan;
        while (explain && q.next()) plan << q.value(0).toString();
        add(part, t);
        if (!explain) return;
        QFile out(plans);
        if (!out.open(QIODevice::Append | QIODevice::Text)) return;
        out.write(
            QStringLiteral("== %1 %2/%3\n%4\n\n").arg(m_work, m_floor, part, plan.join(u'\n')).toUtf8());
    }
    // Commits the caller's unit of work as the part "commit".
    void commit(Transaction& tx) {
        QElapsedTimer t;
        t.start();
        tx.commit();
        add(QStringLiteral("commit"), t);
    }
    // Each part's mean over `rounds`, as the counter <floor>_<part>_s.
    void report(benchmark::State& state, double rounds) const {
        for (auto it = m_seconds.cbegin(); it != m_seconds.cend(); ++it)
            state.counters[QStringLiteral("%1_%2_s").arg(m_floor, it.key()).toStdString()] =
                rounds > 0 ? it.value() / rounds : 0;
    }

  private:
    void add(const QString& part, const QElapsedTimer& t) {
        m_seconds[part] += double(t.nsecsElapsed()) / 1e9;
    }
    QString m_floor, m_work;
    bool m_explained = true;
    QMap<QString, double> m_seconds;
};

}  // namespace qc::bench
