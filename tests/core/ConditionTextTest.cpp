// The text routines of the condition dialogs: the code-or-name check of a code
// box, the iif rewriting and the small list helpers.

#include "core/ConditionFixture.h"
#include "shared/ConditionText.h"

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class ConditionTextTest : public test::ConditionAccount {
  protected:
    bool checkItem(CodeBox& box, const QString& classCode = {}) {
        return CheckCodeName(ctx, box, u"cInvCode"_s, u"cInvName"_s, u"Inventory"_s, u"cInvCCode"_s,
                             u"InventoryClass"_s, classCode,
                             SqlFragment{u" And  bService=0 And bInvType=0  "_s, {}});
    }
};

// Catches: code and name not both accepted, the name not shown, a failure that
// keeps the typed text, or an empty box that keeps a stale code.
TEST_P(ConditionTextTest, ACodeOrANameSettlesTheBox) {
    openAs(u"boss"_s);
    CodeBox byCode{u"A001"_s, {}};
    EXPECT_TRUE(checkItem(byCode));
    EXPECT_EQ(byCode.text, u"圆钢"_s);
    EXPECT_EQ(byCode.tag, u"A001"_s);
    CodeBox byName{u"O'Brien 扣件"_s, {}};
    EXPECT_TRUE(checkItem(byName));
    EXPECT_EQ(byName.tag, u"A002"_s);
    CodeBox empty{QString(), u"A001"_s};
    EXPECT_TRUE(checkItem(empty));
    EXPECT_EQ(empty.tag, QString());
    // A quote cannot widen the condition: the text is a value, not SQL.
    CodeBox sneaky{u"x' Or '1'='1"_s, u"A001"_s};
    EXPECT_FALSE(checkItem(sneaky));
    EXPECT_EQ(sneaky.text, QString());
    EXPECT_EQ(sneaky.tag, QString());
}

// Catches: the parent condition dropped or matched exactly (a sub-class must
// count), the extra condition dropped (services), the end-level rule of
// departments missing, or the tag retry for a text that is one row's code and
// another row's name.
TEST_P(ConditionTextTest, ParentExtraConditionAndAmbiguousTexts) {
    openAs(u"boss"_s);
    CodeBox inSub{u"A001"_s, {}};
    EXPECT_TRUE(checkItem(inSub, u"01"_s));
    CodeBox outside{u"B001"_s, {}};
    EXPECT_FALSE(checkItem(outside, u"01"_s));
    EXPECT_EQ(outside.text, QString());
    CodeBox service{u"S001"_s, {}};
    EXPECT_FALSE(checkItem(service));

    CodeBox top{u"总部"_s, {}};
    EXPECT_FALSE(CheckCodeName(ctx, top, u"cDepCode"_s, u"cDepName"_s, u"Department"_s));
    CodeBox end{u"财务部"_s, {}};
    EXPECT_TRUE(CheckCodeName(ctx, end, u"cDepCode"_s, u"cDepName"_s, u"Department"_s));
    EXPECT_EQ(end.tag, u"D101"_s);

    // "C2" is the code of C2 and the name of C1: the tag decides.
    CodeBox picked{u"C2"_s, u"C1"_s};
    EXPECT_TRUE(checkItem(picked));
    EXPECT_EQ(picked.text, u"C2"_s);
    EXPECT_EQ(picked.tag, u"C1"_s);
    CodeBox typed{u"C2"_s, {}};
    EXPECT_FALSE(checkItem(typed));
    EXPECT_EQ(typed.text, QString());
}

// Catches: a table or column name that is not the database's reaching the
// statement.
TEST_P(ConditionTextTest, NamesMustBeTheDatabases) {
    openAs(u"boss"_s);
    CodeBox box{u"A001"_s, {}};
    EXPECT_THROW(CheckCodeName(ctx, box, u"cInvCode"_s, u"cInvName"_s, u"Inventory; DROP TABLE Inventory"_s),
                 std::invalid_argument);
    EXPECT_THROW(CheckCodeName(ctx, box, u"cInvCode"_s, u"cNoSuchName"_s, u"Inventory"_s),
                 std::invalid_argument);
    EXPECT_THROW(CheckCodeName(ctx, box, u"cInvCode"_s, u"cInvName"_s, u"Inventory"_s, u"cInvCCode"_s,
                               u"Warehouse"_s, u"01"_s),
                 std::invalid_argument);
    EXPECT_EQ(box.text, u"A001"_s);
}

// Catches: wrong THEN/ELSE placement, nested or later calls left alone, commas
// of inner calls rewritten, "iif" inside a longer or quoted name rewritten, or a
// later call after such a name left alone. The rewritten texts must also run.
TEST_P(ConditionTextTest, IifBecomesCase) {
    struct Case {
        QString in;
        QString out;
    };
    const Case cases[] = {
        {u"select a from t"_s, u"select a from t"_s},
        {u"iif(a>0,b,c)"_s, u"(CASE WHEN a>0 THEN b ELSE c END)"_s},
        {u"sum(IIf(f(a,b)>0,g(c,d),0)) as s"_s, u"sum((CASE WHEN f(a,b)>0 THEN g(c,d) ELSE 0 END)) as s"_s},
        {u"iif(a>0,iif(b>0,1,2),3)"_s,
         u"(CASE WHEN a>0 THEN (CASE WHEN b>0 THEN 1 ELSE 2 END) ELSE 3 END)"_s},
        {u"x, iif(a,1,2), iif(b,3,4)"_s,
         u"x, (CASE WHEN a THEN 1 ELSE 2 END), (CASE WHEN b THEN 3 ELSE 4 END)"_s},
        {u"cTiifx, iif(x=1,2,3)"_s, u"cTiifx, (CASE WHEN x=1 THEN 2 ELSE 3 END)"_s},
        {u"'iif', 中iif(a,b,c)"_s, u"'iif', 中iif(a,b,c)"_s},
        {u"Liif(a,b,c)"_s, u"Liif(a,b,c)"_s},
    };
    for (const Case& c : cases) EXPECT_EQ(RePlaceStrForIIF(c.in), c.out) << c.in.toStdString();

    openAs(u"boss"_s);
    const QString sql = RePlaceStrForIIF(
        u"SELECT cInvCode, iif(bService=1,'服务',iif(bInvType=1,'非库存','存货')) AS k FROM Inventory "
        "WHERE cInvCode IN ('A001','S001','N001') ORDER BY cInvCode"_s);
    QStringList kinds;
    QSqlQuery q = db().exec(sql);
    while (q.next()) kinds << textOf(q.value(0)) + u'=' + textOf(q.value(1));
    EXPECT_EQ(kinds, (QStringList{u"A001=存货"_s, u"N001=非库存"_s, u"S001=服务"_s}));
}

// Catches: items read across the padding of the warehouse entries wrongly, a
// partial match taken for a list item, or null not replaced by the right kind.
TEST(ConditionTextHelpers, ItemsListsAndNulls) {
    const QString entry = u"01  一号库             先进先出法"_s;
    EXPECT_EQ(GetStringItem(entry, 0), u"01"_s);
    EXPECT_EQ(GetStringItem(entry, 1, {}), u"一号库"_s);
    EXPECT_EQ(GetStringItem(entry, 2), u"先进先出法"_s);
    EXPECT_EQ(GetStringItem(u"a, b ,c"_s, 1, u","_s), u"b"_s);
    EXPECT_EQ(GetStringItem(u"a, b ,c"_s, 2, u","_s), u"c"_s);
    EXPECT_EQ(GetStringItem(u"single"_s, 0), u"single"_s);

    EXPECT_TRUE(CodeInStr(u"01"_s, u"01"_s));
    EXPECT_TRUE(CodeInStr(u"01,02,03"_s, u"01"_s));
    EXPECT_TRUE(CodeInStr(u"01,02,03"_s, u"02"_s));
    EXPECT_TRUE(CodeInStr(u"01,02,03"_s, u"03"_s));
    EXPECT_FALSE(CodeInStr(u"01,02,03"_s, u"0"_s));
    EXPECT_FALSE(CodeInStr(u"010,02"_s, u"01"_s));
    EXPECT_FALSE(CodeInStr(u"0102"_s, u"01"_s));

    EXPECT_EQ(vFldValue(QVariant(), true), QVariant(0));
    EXPECT_EQ(vFldValue(QVariant(), false), QVariant(QString()));
    EXPECT_EQ(vFldValue(QVariant(5), false), QVariant(5));
}

QC_DB_SUITE(ConditionTextTest);

}  // namespace
}  // namespace qc
