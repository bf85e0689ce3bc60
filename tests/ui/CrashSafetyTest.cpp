// The program killed (SIGKILL, as kill -9) at every statement group of every
// operation that changes the account (the import, the dispatched-goods fetch and
// clear, the take-over from stock, posting and cancelling) and of the summary and
// the reconciliation, which only read it, on either side of each COMMIT, and at
// arbitrary moments of posting and cancelling. After each kill the account is
// exactly as before the operation, or exactly as a whole run leaves it once the
// COMMIT was taken; the task the dead copy held does not block the next run, nor
// do the work tables it left; and the operation then runs to its end.

#include "CliProcess.h"
#include "demo/Demo.h"
#include "support/DatabaseDump.h"
#include "support/TestDb.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class CrashSafetyTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
    }
    // The command in a process of its own, killed at its `killAt`-th step (0: never).
    test::CopyResult run(const QStringList& command, int killAt) {
        QProcessEnvironment env;
        env.insert(u"QC_KILL_AT_STEP"_s, QString::number(killAt));
        const std::unique_ptr<QProcess> p = test::startCopy(command, conn(), env);
        return test::finishCopy(*p, command.join(u' '));
    }
    // The account's data: not the claims of running copies (a dead copy's claim is
    // cleared by the next run) nor the counter that numbers instances.
    test::DatabaseDump dump(bool identities = true) {
        return test::dumpDatabase(db(), QStringList{u"qc_task"_s, u"qc_counter"_s} + test::kTrailTables,
                                  identities);
    }
    QTemporaryDir dir;
};

// Catches: a unit of work that commits part of its statements, a claim of a dead
// copy that refuses the next run, a work table left behind that makes the next
// run fail, an operation that cannot be run to its end after a crash, and one
// whose COMMIT, once taken, leaves less than a whole run does.
TEST_P(CrashSafetyTest, AKillAtAnyStepLeavesTheAccountWhollyBeforeOrWhollyAfter) {
    const QString file = dir.filePath(u"openings.csv"_s);
    test::writeFile(file, "存货编码,数量,单价\r\n1101,5,8.3\r\n1102,7,2\r\n1103,1,4.5\r\n");
    struct Operation {
        QStringList command;
        // What brings the account back before it, run after a kill that came once
        // its COMMIT was taken; none where running it again gives the same account.
        QStringList undo;
        bool reads = false;  // its work tables are the run's own
    };
    const QStringList fetchInstalment{u"fetch-dispatched"_s, u"--type"_s, u"instalment"_s};
    const QStringList clearInstalment{u"clear-dispatched"_s, u"--type"_s, u"instalment"_s};
    const QList<Operation> operations{
        {{u"import-openings"_s, u"--file"_s, file, u"--warehouse"_s, u"08"_s, u"--overwrite"_s, u"yes"_s},
         {}},
        {fetchInstalment, clearInstalment},
        {clearInstalment, fetchInstalment},
        {{u"fetch-dispatched"_s, u"--type"_s, u"consignment"_s},
         {u"clear-dispatched"_s, u"--type"_s, u"consignment"_s}},
        {{u"fetch-stock"_s, u"--warehouse"_s, u"02"_s, u"--overwrite"_s, u"yes"_s}, {}},
        {{u"post"_s}, {u"cancel-post"_s}},
        {{u"cancel-post"_s}, {u"post"_s}},
        {{u"summary"_s}, {}, true},
        {{u"reconcile"_s}, {}, true},
    };
    // The undoings give back exactly what their operations did only from the
    // second cycle on: a first fetch or posting also fills what the demo's
    // documents left open, which clearing and cancelling leave filled.
    for (int cycle = 0; cycle < 2; ++cycle)
        for (const int pair : {1, 3, 5}) {
            ASSERT_EQ(run(operations.at(pair).command, 0).code, 0) << pair;
            ASSERT_EQ(run(operations.at(pair).undo, 0).code, 0) << pair;
        }
    int kills = 0, afterCommit = 0;
    for (const Operation& operation : operations) {
        const std::string name = operation.command.first().toStdString();
        test::DatabaseDump before = dump();
        qint64 events = test::changeEvents(db());
        // What a kill after the COMMIT left, without the rows' numbers.
        std::optional<test::DatabaseDump> committed;
        int killAt = 1;
        for (;; ++killAt) {
            const test::CopyResult r = run(operation.command, killAt);
            if (!r.killed) {
                // The reconciliation ends with 3 when it lists differences.
                ASSERT_TRUE(r.code == 0 || (r.code == 3 && operation.command.first() == u"reconcile"))
                    << name << " after " << killAt - 1 << " kills: exit " << r.code << " "
                    << r.err.toStdString();
                break;
            }
            ++kills;
            ASSERT_LT(killAt, 200) << name << " never ends";
            if (!operation.reads && r.err.contains(u"/committed"_s)) {
                // The database took the COMMIT: the operation happened, all of it.
                ++afterCommit;
                ASSERT_FALSE(committed) << name << " committed twice";
                ASSERT_NE(test::dumpDifference(before, dump()), QString()) << name;
                ASSERT_EQ(test::changeEvents(db()), events + 1) << name;
                committed = dump(false);
                if (!operation.undo.isEmpty()) {
                    ASSERT_EQ(run(operation.undo, 0).code, 0) << name;
                    before = dump();
                    events = test::changeEvents(db());
                } else {
                    ++events;
                }
                continue;
            }
            const QString changed = test::dumpDifference(before, dump());
            ASSERT_TRUE(changed.isEmpty())
                << name << " killed at step " << killAt << " (" << r.err.trimmed().toStdString() << "):\n"
                << changed.toStdString();
            // The trail holds the changes that committed: none.
            ASSERT_EQ(test::changeEvents(db()), events) << name << " killed at step " << killAt;
        }
        EXPECT_GT(killAt, 1) << name << " announced no step";
        EXPECT_EQ(test::dumpDifference(before, dump()).isEmpty(), operation.reads)
            << name << (operation.reads ? " wrote" : " changed nothing");
        // And the one that ran to its end is one event.
        EXPECT_EQ(test::changeEvents(db()), events + (operation.reads ? 0 : 1)) << name;
        if (operation.reads) continue;
        // The run cut off after its COMMIT left what the whole run leaves.
        ASSERT_TRUE(committed) << name << " announced no COMMIT";
        EXPECT_EQ(test::dumpDifference(*committed, dump(false)), QString()) << name;
    }
    RecordProperty("kills", kills);
    RecordProperty("after_commit", afterCommit);
    EXPECT_GT(kills, static_cast<int>(operations.size()));
}

// Catches: a posting or cancelling that a kill at an arbitrary moment (inside the
// COMMIT itself, say, rather than between statement groups) leaves half-done: the
// account after each kill is one of the two whole states, and the trail says
// which.
TEST_P(CrashSafetyTest, AKillAtAnyMomentOfPostingLeavesOneOfTheTwoWholeStates) {
    // Cancelling does not give back every column a first posting filled (costs on
    // the stock documents), so the two states are taken from a second cycle.
    // A whole run's time is the shortest seen: one taken while the machine was
    // busy elsewhere would put most moments after the run's end.
    qint64 whole = std::numeric_limits<qint64>::max();
    QElapsedTimer took;
    for (int cycle = 0; cycle < 2; ++cycle) {
        took.start();
        ASSERT_EQ(run({u"post"_s}, 0).code, 0);
        whole = std::min(whole, took.elapsed());
        took.start();
        ASSERT_EQ(run({u"cancel-post"_s}, 0).code, 0);
        whole = std::min(whole, took.elapsed());
    }
    const test::DatabaseDump unposted = dump(false);
    took.start();
    ASSERT_EQ(run({u"post"_s}, 0).code, 0);
    whole = std::min(whole, took.elapsed());
    const test::DatabaseDump posted = dump(false);
    bool isPosted = true;
    constexpr int kMoments = 24;
    int kills = 0, landedAfter = 0;
    for (int moment = 1; moment <= kMoments; ++moment) {
        const QStringList command{isPosted ? u"cancel-post"_s : u"post"_s};
        const QString event = isPosted ? u"恢复期初记账"_s : u"期初记账"_s;
        const qint64 events = test::changeEvents(db(), event);
        const std::unique_ptr<QProcess> p = test::startCopy(command, conn());
        // Moments spread over the later part of a whole run (its start is the
        // program's own start and the login), the latest beyond its end.
        const qint64 at = whole * 3 / 10 + whole * 8 * moment / (10 * kMoments);
        QThread::msleep(static_cast<unsigned long>(at));
        // A run already over by its moment shows runs now take less: the later
        // moments are spread over that.
        if (p->waitForFinished(0)) whole = std::min(whole, at);
        p->kill();
        const test::CopyResult r = test::finishCopy(*p, command.first());
        kills += r.killed ? 1 : 0;
        const test::DatabaseDump now = dump(false);
        const bool nowPosted = test::dumpDifference(posted, now).isEmpty();
        ASSERT_TRUE(nowPosted || test::dumpDifference(unposted, now).isEmpty())
            << command.first().toStdString() << " killed after " << at << " ms left neither whole state:\n"
            << test::dumpDifference(isPosted ? posted : unposted, now).toStdString();
        const bool happened = nowPosted != isPosted;
        EXPECT_EQ(test::changeEvents(db(), event), events + (happened ? 1 : 0)) << moment;
        if (happened && r.killed) ++landedAfter;
        isPosted = nowPosted;
    }
    RecordProperty("kills", kills);
    RecordProperty("landed_after", landedAfter);
    EXPECT_GT(kills, kMoments / 2);
}

QC_DB_SUITE(CrashSafetyTest);

}  // namespace
}  // namespace qc
