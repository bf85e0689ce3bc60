// Every sub-command that reads or changes the openings, run by operators of
// different rights over warehouses they hold to write, to read only, or not at
// all: each is refused for its rights exactly where the operator lacks them, and
// goes through where they are held. Typing, and so importing, needs the
// warehouse in the operator's list (a right to see it) and the functions of
// editing and adding; 取数, which replaces the warehouse's rows, needs the right
// to write it.

#include "CliRun.h"
#include "demo/Demo.h"
#include "domain/Vocabulary.h"
#include "host/Users.h"
#include "support/TestDb.h"

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

// An operator and what the rights tables grant them.
struct Operator {
    QString id, password;
    bool administrator = false;
    QStringList functions;  // a right on a prefix covers the functions below it
    QStringList readable, writable;
    [[nodiscard]] bool has(const QString& function) const {
        return administrator || std::any_of(functions.cbegin(), functions.cend(),
                                            [&](const QString& f) { return function.startsWith(f); });
    }
    [[nodiscard]] bool reads(const QString& wh) const { return administrator || readable.contains(wh); }
    [[nodiscard]] bool writes(const QString& wh) const { return administrator || writable.contains(wh); }
};

class CliRightsMatrixTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
        // An operator of this test: the whole of the openings' functions by their
        // common prefix and the trail, warehouse 04 to write and 01 to read.
        Users::createUser(db(), u"reader"_s, u"王芳"_s, u"reader123"_s, false);
        Users::grantFunction(db(), u"reader"_s, u"ASM3101"_s);
        Users::grantFunction(db(), u"reader"_s, task::kAuditTrail);
        Users::restrict(db(), u"reader"_s, u"Warehouse"_s);
        Users::grantData(db(), u"reader"_s, u"Warehouse"_s, u"04"_s, true);
        Users::grantData(db(), u"reader"_s, u"Warehouse"_s, u"01"_s, false);
    }
    test::CliResult run(const Operator& op, const QStringList& words) {
        return test::runCli(
            QStringList{words.first(), u"--db"_s, conn(), u"--user"_s, op.id, u"--password"_s, op.password} +
            words.mid(1));
    }
    QTemporaryDir dir;
};

// Whether a refusal is one of rights (of functions or of warehouses), as
// against one of the business rules.
bool refusedForRights(const test::CliResult& r) {
    return r.code != 0 && (r.err.contains(u"权限"_s) || r.err.contains(u"不是您所管辖"_s));
}

// Catches: a command that lets an operator read or change a warehouse or use a
// function the rights tables do not grant (the command line bypassing what the
// window hides), and one that refuses what they do grant.
TEST_P(CliRightsMatrixTest, WhatGoesThroughIsWhatTheRightsGrant) {
    const QString file = dir.filePath(u"rows.csv"_s);
    test::writeFile(file, "存货编码,数量,单价\r\n1101,5,8.3\r\n");
    // The demo's clerk: the openings' functions without posting, the dispatched
    // goods, warehouses 01 and 02 to write and 03 to read.
    const QList<Operator> operators{
        {u"demo"_s, u"demo123"_s, true, {}, {}, {}},
        {u"clerk"_s,
         u"clerk123"_s,
         false,
         {u"ASM310101"_s, u"ASM310102"_s, u"ASM310103"_s, u"IA001002"_s, u"IA001003"_s, u"IA001102"_s,
          u"IA001103"_s},
         {u"01"_s, u"02"_s, u"03"_s},
         {u"01"_s, u"02"_s}},
        {u"reader"_s, u"reader123"_s, false, {u"ASM3101"_s, u"ASM3190"_s}, {u"01"_s, u"04"_s}, {u"04"_s}},
    };
    const QStringList warehouses{u"01"_s, u"03"_s, u"04"_s, u"05"_s};
    const auto hasOpenings = [this](const QString& wh) {
        return db().scalar(u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = ? AND iMonth = 0"_s, {wh})
                   .toLongLong() > 0;
    };
    int cases = 0;
    const auto check = [&](const Operator& op, const QStringList& words, bool granted, bool mustSucceed) {
        const test::CliResult r = run(op, words);
        const std::string what = op.id.toStdString() + ": " + words.join(u' ').toStdString() + " → " +
                                 std::to_string(r.code) + " " + r.err.toStdString();
        EXPECT_EQ(refusedForRights(r), !granted) << what;
        if (granted && mustSucceed) {
            EXPECT_EQ(r.code, 0) << what;
        }
        ++cases;
    };
    for (const Operator& op : operators) {
        for (const QString& wh : warehouses) {
            check(op, {u"summary"_s, u"--warehouses"_s, wh}, op.reads(wh), true);
            check(op,
                  {u"export"_s, u"--warehouse"_s, wh, u"--format"_s, u"csv"_s, u"--out"_s, dir.filePath(wh)},
                  op.reads(wh), hasOpenings(wh));  // an empty warehouse has nothing to output
            check(op,
                  {u"import-openings"_s, u"--file"_s, file, u"--warehouse"_s, wh, u"--overwrite"_s, u"no"_s,
                   u"--dry-run"_s},
                  op.reads(wh) && op.has(task::kEditOpenings) && op.has(task::kAddOpenings), true);
            check(op, {u"fetch-stock"_s, u"--warehouse"_s, wh, u"--overwrite"_s, u"yes"_s},
                  op.writes(wh) && op.has(task::kFetchFromStock), false);
        }
        check(op, {u"fetch-dispatched"_s, u"--type"_s, u"instalment"_s}, op.has(task::kInstalmentFetch),
              true);
        check(op, {u"audit"_s}, op.has(task::kAuditTrail), true);
        // Posting, and cancelling it again so that the next operator finds the
        // openings as they were.
        check(op, {u"post"_s}, op.has(task::kPostOpenings), true);
        if (op.has(task::kPostOpenings)) {
            check(op, {u"cancel-post"_s}, true, true);
        }
    }
    RecordProperty("cases", cases);
}

QC_DB_SUITE(CliRightsMatrixTest);

}  // namespace
}  // namespace qc
