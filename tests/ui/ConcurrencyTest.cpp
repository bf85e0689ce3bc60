// Several copies of the program on one account at once, as several desks would
// run them: posting and cancelling, the take-over from stock, the import and the
// dispatched-goods fetch and clear, round after round. A task is held by one copy
// at a time and the others are told why; nothing is written twice or lost; no copy
// fails on the database or hangs.

#include "CliProcess.h"
#include "demo/Demo.h"
#include "support/DatabaseDump.h"
#include "support/TestDb.h"

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class ConcurrencyTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
    }
    // The account's data, without the numbers its rows were given: a posting
    // writes its summaries anew each time.
    test::DatabaseDump dump() {
        return test::dumpDatabase(db(), QStringList{u"qc_task"_s, u"qc_counter"_s} + test::kTrailTables,
                                  false);
    }
    qint64 count(const QString& sql) { return db().scalar(sql).toLongLong(); }

    // Every copy ended by itself, with success or with the system's refusal in its
    // words: never a crash, a hang or a failure of the database (a lock not given,
    // a deadlock, a broken unit of work). Returns how many succeeded.
    int expectEndedInTheirWords(const std::vector<test::CopyResult>& results, const QStringList& refusals) {
        int done = 0;
        for (const test::CopyResult& r : results) {
            EXPECT_FALSE(r.killed) << r.err.toStdString();
            if (r.code == 0) {
                ++done;
                continue;
            }
            const QString said = (r.err + r.out).trimmed();
            bool known = false;
            for (const QString& refusal : refusals) known = known || said.contains(refusal);
            EXPECT_TRUE(known) << "exit " << r.code << ": " << said.toStdString();
            // A copy refused a task is told who holds it, where and which function.
            if (said.contains(u"功能互斥："_s)) {
                EXPECT_TRUE(said.contains(u"操作员 demo（张敏）正在机器 "_s) ||
                            said.contains(u"正被频繁占用"_s))
                    << said.toStdString();
            }
        }
        ++rounds;
        copies += static_cast<int>(results.size());
        return done;
    }
    int rounds = 0, copies = 0;
};

const QString kExclusive = u"功能互斥："_s;

// Catches: two copies posting (or cancelling) the same openings, which writes the
// summaries and layers twice; a copy refused in the database's words ("database is
// locked", a deadlock) instead of the system's; an exclusive task held by two
// copies; a take-over, import or dispatched-goods fetch that loses or doubles rows
// when others run beside it.
TEST_P(ConcurrencyTest, CopiesAtOnceHoldTheirTasksAndWriteEachRowOnce) {
    constexpr int kCopies = 6;
    constexpr int kRounds = 3;
    // What one copy alone makes of posting and cancelling. Cancelling does not
    // give back every column a first posting filled (costs on the stock
    // documents, the flag's spelling), so the states are taken from a second cycle.
    for (int cycle = 0; cycle < 2; ++cycle) {
        ASSERT_EQ(test::runTogether({{u"post"_s}}, conn()).front().code, 0);
        ASSERT_EQ(test::runTogether({{u"cancel-post"_s}}, conn()).front().code, 0);
    }
    const test::DatabaseDump unposted = dump();
    ASSERT_EQ(test::runTogether({{u"post"_s}}, conn()).front().code, 0);
    const test::DatabaseDump posted = dump();
    ASSERT_EQ(test::runTogether({{u"cancel-post"_s}}, conn()).front().code, 0);
    ASSERT_EQ(test::dumpDifference(unposted, dump()), QString());

    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const qint64 posts = test::changeEvents(db(), u"期初记账"_s);
        const qint64 cancels = test::changeEvents(db(), u"恢复期初记账"_s);
        // Summaries and a reconciliation read the account beside the postings:
        // each ends in its own words, whichever state it found.
        const QList<QStringList> posting = QList<QStringList>(kCopies, {u"post"_s})
                                           << QStringList{u"summary"_s} << QStringList{u"summary"_s}
                                           << QStringList{u"reconcile"_s};
        const std::vector<test::CopyResult> postings = test::runTogether(posting, conn());
        for (size_t i = kCopies; i < postings.size(); ++i)
            EXPECT_TRUE(
                postings.at(i).code == 0 ||
                (posting.at(static_cast<qsizetype>(i)).first() == u"reconcile" && postings.at(i).code == 3))
                << postings.at(i).err.toStdString();
        EXPECT_EQ(expectEndedInTheirWords({postings.begin(), postings.begin() + kCopies},
                                          {kExclusive, u"期初已经记账！"_s}),
                  1);
        EXPECT_EQ(test::dumpDifference(posted, dump()), QString());
        EXPECT_EQ(expectEndedInTheirWords(
                      test::runTogether(QList<QStringList>(kCopies, {u"cancel-post"_s}), conn()),
                      {kExclusive, u"期初尚未记账，无需恢复！"_s}),
                  1);
        EXPECT_EQ(test::dumpDifference(unposted, dump()), QString());
        // The trail holds one posting and one cancelling: the ones that happened.
        EXPECT_EQ(test::changeEvents(db(), u"期初记账"_s), posts + 1);
        EXPECT_EQ(test::changeEvents(db(), u"恢复期初记账"_s), cancels + 1);
    }

    // What one copy alone makes of the take-over and the dispatched-goods fetch.
    const QStringList takeOver{u"fetch-stock"_s, u"--warehouse"_s, u"02"_s, u"--overwrite"_s, u"yes"_s};
    const QStringList dispatchedFetch{u"fetch-dispatched"_s, u"--type"_s, u"instalment"_s};
    const QStringList dispatchedClear{u"clear-dispatched"_s, u"--type"_s, u"instalment"_s};
    const QString openingsOf02 = u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = '02' AND iMonth = 0"_s;
    const QString openingsOf08 = u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = '08' AND iMonth = 0"_s;
    const QString dispatchedRows = u"SELECT COUNT(*) FROM IA_EnSubsidiary"_s;
    QStringList lineColumns = db().columnsOf(u"IA_EnSubsidiary"_s);
    lineColumns.removeIf([](const QString& c) { return c.compare(u"AutoID"_s, Qt::CaseInsensitive) == 0; });
    // The names come from the database's own catalogue.
    const QString distinctDispatched =
        u"SELECT COUNT(*) FROM (SELECT DISTINCT %1 FROM IA_EnSubsidiary) lines"_s.arg(lineColumns.join(u','));
    ASSERT_EQ(test::runTogether({takeOver}, conn()).front().code, 0);
    const qint64 takenOver = count(openingsOf02);
    const qint64 dispatchedBefore = count(dispatchedRows);
    ASSERT_EQ(test::runTogether({dispatchedFetch}, conn()).front().code, 0);
    const qint64 fetched = count(dispatchedRows);
    ASSERT_GT(fetched, dispatchedBefore);
    ASSERT_EQ(test::runTogether({dispatchedClear}, conn()).front().code, 0);
    ASSERT_EQ(count(dispatchedRows), dispatchedBefore);

    QTemporaryDir dir;
    const QString file = dir.filePath(u"openings.csv"_s);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("存货编码,数量,单价\r\n1101,5,8.3\r\n1102,7,2\r\n1103,1,4.5\r\n");
    }
    const QStringList import{u"import-openings"_s, u"--file"_s, file, u"--warehouse"_s, u"08"_s,
                             u"--overwrite"_s,     u"no"_s};
    const qint64 importedBefore = count(openingsOf08);
    int imports = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("mixed round " + std::to_string(round));
        const QList<QStringList> commands{takeOver,        takeOver,        import, import,
                                          dispatchedFetch, dispatchedFetch, import, takeOver};
        const std::vector<test::CopyResult> results = test::runTogether(commands, conn());
        expectEndedInTheirWords(results, {kExclusive, u"该仓库已存在发出商品期初"_s, u"已存在"_s});
        for (size_t i = 0; i < results.size(); ++i)
            if (commands.at(static_cast<qsizetype>(i)) == import && results.at(i).code == 0) ++imports;
        // Each take-over replaced the warehouse's rows: as many as one alone takes
        // over. Each import added its three rows. The dispatched goods were fetched
        // once, however many copies asked: no line twice. (How many lines a fetch
        // takes depends on the openings the imports add beside it.)
        EXPECT_EQ(count(openingsOf02), takenOver);
        EXPECT_EQ(count(openingsOf08), importedBefore + 3 * imports);
        EXPECT_GE(count(dispatchedRows), fetched);
        EXPECT_EQ(count(distinctDispatched), count(dispatchedRows));
        EXPECT_EQ(expectEndedInTheirWords(test::runTogether(QList<QStringList>(3, dispatchedClear), conn()),
                                          {kExclusive}),
                  3);
        EXPECT_EQ(count(dispatchedRows), dispatchedBefore);
    }
    EXPECT_GT(imports, 0);
    RecordProperty("rounds", rounds);
    RecordProperty("copies", copies);
}

QC_DB_SUITE(ConcurrencyTest);

}  // namespace
}  // namespace qc
