// A statement that runs long inside long work, on SQLite (which reports a
// statement's progress while it runs): the progress dialog shows and is painted
// while it runs, and its 取消 stops a statement that writes or computes, with
// the unit of work rolled back, but never cuts short the rows of a result being
// read.

#include "platform/Database.h"
#include "platform/UnitSteps.h"
#include "shared/ui/StepProgress.h"
#include "support/TestDb.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

// Numbers 1 to a bound count from a recursive query: long enough to run for a
// while, with no sort, so that its rows come as they are made.
const QString kNumbers = u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "_s;

class LongStatementTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.resize(300, 200);
        window.show();
        db().exec(u"CREATE TABLE scratch (i INTEGER)"_s);
        StepProgress::setDelay(0);
    }
    void TearDown() override { StepProgress::setDelay(400); }
    Database& db() { return account.db(); }
    QProgressDialog* dialog() {
        for (QProgressDialog* d : window.findChildren<QProgressDialog*>())
            if (d->isVisible()) return d;
        return nullptr;
    }
    // Clicks 取消 the first time the event loop runs, noting whether the dialog
    // was up by then.
    void cancelAtFirstChance() {
        QTimer::singleShot(0, &window, [this] {
            QProgressDialog* d = dialog();
            dialogWasUp = d != nullptr;
            if (d) QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
        });
    }
    test::ScratchAccount account{"sqlite"};
    QWidget window;
    bool dialogWasUp = false;
};

// Catches: a long statement that freezes the window and cannot be stopped until
// it ends, an interrupted statement reported as a failure rather than as the
// user's cancel, statements after the stopped one kept outside any unit, a
// unit of work left unusable after SQLite rolled it back itself, and a read whose rows stop at the cancel as
// though the result ended.
TEST_F(LongStatementTest, CancelStopsAStatementWhileItRunsButNeverCutsAReadShort) {
    {
        StepProgress progress(&window);
        Transaction tx(db());
        announceStep(u"fetch"_s, u"prepare"_s);
        db().exec(u"INSERT INTO scratch (i) VALUES (0)"_s);
        cancelAtFirstChance();
        try {
            // Would insert 50 million rows if it ran to its end.
            db().exec(u"INSERT INTO scratch (i) "_s + kNumbers + u"SELECT i FROM n"_s, {50'000'000});
            ADD_FAILURE() << "the statement ran to its end";
        } catch (const DbError& e) {
            EXPECT_EQ(e.kind(), DbError::Kind::Cancelled) << e.message().toStdString();
            EXPECT_EQ(e.message(), u"已取消取数，数据没有任何改动。"_s);
        }
        EXPECT_TRUE(dialogWasUp) << "the dialog was not shown while the statement ran";
        // SQLite rolled the unit back when it stopped the statement: what the
        // work would still run in it is refused rather than kept on its own.
        EXPECT_THROW(db().exec(u"INSERT INTO scratch (i) VALUES (9)"_s), DbError);
    }
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM scratch"_s).toLongLong(), 0);
    {
        Transaction tx(db());
        db().exec(u"INSERT INTO scratch (i) VALUES (1)"_s);
        tx.commit();
    }
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM scratch"_s).toLongLong(), 1);

    // A cancel while the rows of a result are read lets the read end, and stops
    // the work at its next step instead.
    constexpr int kRows = 1'000'000;
    dialogWasUp = false;
    {
        StepProgress progress(&window);
        Transaction tx(db());
        announceStep(u"posting"_s, u"read"_s);
        QSqlQuery q = db().exec(kNumbers + u"SELECT i FROM n"_s, {kRows});
        cancelAtFirstChance();
        qint64 read = 0, sum = 0;
        while (q.next()) {
            ++read;
            sum += q.value(0).toLongLong();
        }
        EXPECT_TRUE(dialogWasUp) << "the dialog was not shown while the rows were read";
        EXPECT_EQ(read, kRows);
        EXPECT_EQ(sum, qint64{kRows} * (kRows + 1) / 2);
        db().exec(u"INSERT INTO scratch (i) VALUES (2)"_s);
        try {
            announceStep(u"posting"_s, u"write"_s);
            ADD_FAILURE() << "the work went on after the cancel";
        } catch (const DbError& e) {
            EXPECT_EQ(e.kind(), DbError::Kind::Cancelled);
            EXPECT_EQ(e.message(), u"已取消记账，数据没有任何改动。"_s);
        }
    }
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM scratch"_s).toLongLong(), 1);
}

}  // namespace
}  // namespace qc
