#pragma once

// Runs `qcinput` as a process of its own, on the test's account and as its
// administrator, as a second copy on another desk would.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qc::test {

struct CopyResult {
    bool killed = false;  // ended by a signal
    int code = 0;
    QString out, err;
};

// A copy started with `words`; `environment` adds to the test's own.
inline std::unique_ptr<QProcess> startCopy(const QStringList& words, const QString& connection,
                                           const QProcessEnvironment& environment = {}) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QC_FAST_HASH"), QStringLiteral("1"));
    for (const QString& key : environment.keys()) env.insert(key, environment.value(key));
    p->setProcessEnvironment(env);
    p->start(
        QStringLiteral(QC_QCINPUT_PATH),
        words + QStringList{QStringLiteral("--db"), connection, QStringLiteral("--user"),
                            QStringLiteral("demo"), QStringLiteral("--password"), QStringLiteral("demo123")});
    return p;
}

// Waits for the copy; a copy that does not end in two minutes is a hang.
inline CopyResult finishCopy(QProcess& p, const QString& what) {
    // A copy already seen to end is not waited for again (that would fail).
    EXPECT_TRUE(p.state() == QProcess::NotRunning || p.waitForFinished(120000))
        << what.toStdString() << " hangs";
    CopyResult r;
    r.killed = p.exitStatus() == QProcess::CrashExit;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Copies started together, each with its words, and waited for.
inline std::vector<CopyResult> runTogether(const QList<QStringList>& commands, const QString& connection) {
    std::vector<std::unique_ptr<QProcess>> running;
    for (const QStringList& words : commands) running.push_back(startCopy(words, connection));
    std::vector<CopyResult> results;
    for (qsizetype i = 0; i < commands.size(); ++i)
        results.push_back(finishCopy(*running.at(static_cast<size_t>(i)), commands.at(i).join(u' ')));
    return results;
}

}  // namespace qc::test
