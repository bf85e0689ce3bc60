#include "platform/Database.h"
#include "platform/Schema.h"
#include "support/TestDb.h"

#include <QSet>

namespace qc {
namespace {

class SchemaTest : public test::DbTest {};

QStringList declaredColumns(const TableDef& t) {
    QStringList out;
    for (const ColumnDef& c : t.columns) out << c.name.toLower();
    return out;
}

// Catches a table or column that one back end does not create (a type the dialect
// rejects silently, a name folded differently), a declared name that differs from
// the database's, and a second creation that fails or wipes data.
TEST_P(SchemaTest, EveryDeclaredTableAndColumnExistsAndCreationIsIdempotent) {
    createSchema(db());
    const QStringList tables = db().tables();
    for (const TableDef& t : accountSchema()) {
        ASSERT_TRUE(tables.contains(t.name.toLower())) << t.name.toStdString();
        EXPECT_EQ(db().columnsOf(t.name), declaredColumns(t)) << t.name.toStdString();
    }
    db().exec(QStringLiteral("INSERT INTO Warehouse (cWhCode, cWhName) VALUES (?, ?)"),
              {QStringLiteral("01"), QStringLiteral("原料库")});
    createSchema(db());
    EXPECT_EQ(
        db().scalar(QStringLiteral("SELECT cWhName FROM Warehouse WHERE cWhCode = ?"), {QStringLiteral("01")})
            .toString(),
        QStringLiteral("原料库"));
}

// Catches a ledger table whose key is not filled by the database, and dispatched
// goods whose columns are not in the order the fetch from sales writes them (it
// inserts by position).
TEST_P(SchemaTest, LedgerKeysAreGeneratedAndDispatchedGoodsKeepTheFetchOrder) {
    createSchema(db());
    const qint64 a = db().insertReturningId(QStringLiteral("IA_Subsidiary"), {QStringLiteral("cVouType")},
                                            {QStringLiteral("34")}, QStringLiteral("AutoID"));
    const qint64 b = db().insertReturningId(QStringLiteral("IA_Subsidiary"), {QStringLiteral("cVouType")},
                                            {QStringLiteral("34")}, QStringLiteral("AutoID"));
    EXPECT_GT(b, a);

    const QStringList cols = db().columnsOf(QStringLiteral("IA_EnSubsidiary"));
    ASSERT_EQ(cols.size(), 90);  // AutoID and the 89 written values
    EXPECT_EQ(cols.mid(0, 5),
              (QStringList{QStringLiteral("autoid"), QStringLiteral("brdflag"), QStringLiteral("cbustype"),
                           QStringLiteral("cbuscode"), QStringLiteral("cvoucode")}));
    EXPECT_EQ(cols.at(28), QStringLiteral("iainquantity"));
    EXPECT_EQ(cols.at(54), QStringLiteral("cpzid"));
    EXPECT_EQ(cols.at(61), QStringLiteral("citem_class"));
    EXPECT_EQ(cols.last(), QStringLiteral("ienid"));
    // Every IA_EnSubsidiary column except its own keys has a namesake in the ledger.
    const QStringList ledger = db().columnsOf(QStringLiteral("IA_Subsidiary"));
    for (const QString& c : cols)
        if (!QSet<QString>{QStringLiteral("inid"), QStringLiteral("outid"), QStringLiteral("isoutquantity"),
                           QStringLiteral("isoutmoney"), QStringLiteral("ienid"), QStringLiteral("couthead")}
                 .contains(c)) {
            EXPECT_TRUE(ledger.contains(c)) << c.toStdString();
        }
}

// Catches a parameter table that accepts the same parameter twice (readers would
// take either row).
TEST_P(SchemaTest, AParameterIsStoredOnce) {
    createSchema(db());
    const QString sql = QStringLiteral("INSERT INTO AccInformation (cSysID, cName, cValue) VALUES (?, ?, ?)");
    db().exec(sql, {QStringLiteral("AA"), QStringLiteral("cGoodClass"), QStringLiteral("223")});
    EXPECT_THROW(db().exec(sql, {QStringLiteral("AA"), QStringLiteral("cGoodClass"), QStringLiteral("22")}),
                 DbError);
    EXPECT_NO_THROW(
        db().exec(sql, {QStringLiteral("IA"), QStringLiteral("cGoodClass"), QStringLiteral("22")}));
}

QC_DB_SUITE(SchemaTest);

}  // namespace
}  // namespace qc
