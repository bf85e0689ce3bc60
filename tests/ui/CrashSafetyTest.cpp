// The program killed (SIGKILL, as kill -9) at every statement group of every
// operation that changes the account (the import, the dispatched-goods fetch and
// clear, the take-over from stock, posting and cancelling) and of the summary and
// the reconciliation, which only read it. After each kill the
// account is exactly as before the operation; the task the dead copy held does
// not block the next run, nor do the work tables it left; and the operation then
// runs to its end.

#include "CliProcess.h"
#include "demo/Demo.h"
#include "support/DatabaseDump.h"
#include "support/TestDb.h"

#include <QFile>
#include <QTemporaryDir>

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
    test::DatabaseDump dump() {
        return test::dumpDatabase(db(), QStringList{u"qc_task"_s, u"qc_counter"_s} + test::kTrailTables);
    }
    QTemporaryDir dir;
};

// Catches: a unit of work that commits part of its statements, a claim of a dead
// copy that refuses the next run, a work table left behind that makes the next
// run fail, and an operation that cannot be run to its end after a crash.
TEST_P(CrashSafetyTest, AKillAtAnyStepLeavesTheAccountAsBefore) {
    const QString file = dir.filePath(u"openings.csv"_s);
    test::writeFile(file, "存货编码,数量,单价\r\n1101,5,8.3\r\n1102,7,2\r\n1103,1,4.5\r\n");
    const QList<QStringList> operations{
        {u"import-openings"_s, u"--file"_s, file, u"--warehouse"_s, u"08"_s},
        {u"fetch-dispatched"_s, u"--type"_s, u"instalment"_s},
        {u"clear-dispatched"_s, u"--type"_s, u"instalment"_s},
        {u"fetch-dispatched"_s, u"--type"_s, u"consignment"_s},
        {u"fetch-stock"_s, u"--warehouse"_s, u"02"_s, u"--overwrite"_s, u"yes"_s},
        {u"post"_s},
        {u"cancel-post"_s},
        // These only read the account (their work tables are the run's own).
        {u"summary"_s},
        {u"reconcile"_s},
    };
    const QStringList readers{u"summary"_s, u"reconcile"_s};
    int kills = 0;
    for (const QStringList& operation : operations) {
        const std::string name = operation.first().toStdString();
        const test::DatabaseDump before = dump();
        const qint64 events = test::changeEvents(db());
        int killAt = 1;
        for (;; ++killAt) {
            const test::CopyResult r = run(operation, killAt);
            if (!r.killed) {
                // The reconciliation ends with 3 when it lists differences.
                ASSERT_TRUE(r.code == 0 || (r.code == 3 && operation.first() == u"reconcile"))
                    << name << " after " << killAt - 1 << " kills: exit " << r.code << " "
                    << r.err.toStdString();
                break;
            }
            ++kills;
            const QString changed = test::dumpDifference(before, dump());
            ASSERT_TRUE(changed.isEmpty()) << name << " killed at step " << killAt << ":\n"
                                           << changed.toStdString();
            // The trail holds the changes that committed: none.
            ASSERT_EQ(test::changeEvents(db()), events) << name << " killed at step " << killAt;
            ASSERT_LT(killAt, 200) << name << " never ends";
        }
        EXPECT_GT(killAt, 1) << name << " announced no step";
        EXPECT_EQ(test::dumpDifference(before, dump()).isEmpty(), readers.contains(operation.first()))
            << name << (readers.contains(operation.first()) ? " wrote" : " changed nothing");
        // And the one that ran to its end is one event.
        EXPECT_EQ(test::changeEvents(db()), events + (readers.contains(operation.first()) ? 0 : 1)) << name;
    }
    RecordProperty("kills", kills);
    EXPECT_GT(kills, static_cast<int>(operations.size()));
}

QC_DB_SUITE(CrashSafetyTest);

}  // namespace
}  // namespace qc
