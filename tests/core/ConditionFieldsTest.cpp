// The behaviour the condition dialogs share, without their widgets.

#include "core/ConditionFixture.h"
#include "shared/ConditionFields.h"
#include "shared/ConditionText.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class ConditionFieldsTest : public test::ConditionAccount {
  protected:
    ConditionOptions full() {
        ConditionOptions o;
        o.warehouses = true;
        o.valuationInEntries = true;
        o.grades = true;
        return o;
    }
};

// Catches: warehouses the operator holds no right for listed, entries not all
// selected at first, or entries whose code and valuation method cannot be read
// back (names of 20 characters or more included).
TEST_P(ConditionFieldsTest, WarehouseListEntries) {
    openAs(u"clerk"_s);
    ConditionFields f(ctx, pickers, full());
    f.Load();
    ASSERT_EQ(f.warehouses.size(), 3);
    for (const WarehouseEntry& e : f.warehouses) {
        EXPECT_TRUE(e.selected);
        EXPECT_EQ(GetStringItem(e.text, 0), e.code);
        EXPECT_EQ(GetStringItem(e.text, 2), e.valueStyle);
        EXPECT_FALSE(e.valueStyle.isEmpty());
    }
    EXPECT_EQ(f.warehouses.at(0).text, u"01  一号库"_s + QString(17, u' ') + u"先进先出法"_s);

    ConditionOptions plain = full();
    plain.valuationInEntries = false;
    Users::restrict(db(), u"clerk"_s, u"Warehouse"_s);
    Users::grantData(db(), u"clerk"_s, u"Warehouse"_s, u"02"_s, false);
    ctx.bWarehouseCheck = true;
    ConditionFields narrow(ctx, pickers, plain);
    narrow.Load();
    ASSERT_EQ(narrow.warehouses.size(), 1);
    EXPECT_EQ(narrow.warehouses.at(0).text, u"02  二号库"_s);
}

// Catches: a display allowed with no warehouse, a message besides the one, or
// the last selected code not kept.
TEST_P(ConditionFieldsTest, AtLeastOneWarehouse) {
    openAs(u"boss"_s);
    ConditionFields f(ctx, pickers, full());
    f.Load();
    f.ClearWarehouses();
    EXPECT_FALSE(f.CheckWarehouseChosen());
    EXPECT_EQ(sink->texts(), QStringList{u"必须至少选择一个仓库！"_s});
    EXPECT_EQ(sink->entries().first().icon, MsgIcon::Exclamation);
    f.warehouses[1].selected = true;
    EXPECT_TRUE(f.CheckWarehouseChosen());
    EXPECT_EQ(f.SelectedWarehouseCodes(), QStringList{u"02"_s});
    EXPECT_EQ(f.strWhCode, u"02"_s);
    f.SelectAllWarehouses();
    EXPECT_EQ(f.SelectedWarehouseCodes().size(), 3);
    EXPECT_EQ(f.strWhCode, u"03"_s);
    EXPECT_EQ(sink->texts().size(), 1);
}

// Catches: grade items not following the coding scheme, a "from" after "to"
// accepted, or a refused combo not returning to the accepted grade.
TEST_P(ConditionFieldsTest, GradeRangeNeverInverts) {
    openAs(u"boss"_s);
    ConditionFields f(ctx, pickers, full());
    f.Load();
    EXPECT_EQ(f.gradeItems, (QStringList{u"1"_s, u"2"_s, u"3"_s, u"明细"_s}));
    EXPECT_EQ(f.GradeFromChanged(1), 0);  // "to" is still grade 1
    EXPECT_EQ(sink->last(), u"存货级次上限输入有误"_s);
    EXPECT_EQ(f.GradeToChanged(1), 1);
    EXPECT_EQ(f.GradeFromChanged(2), 0);  // grade 3 while "to" is grade 2
    EXPECT_EQ(f.invGradeFrom, 0);
    EXPECT_EQ(f.GradeToChanged(3), 3);
    EXPECT_EQ(f.GradeFromChanged(2), 2);
    EXPECT_EQ(f.GradeToChanged(1), 3);
    EXPECT_EQ(sink->last(), u"存货级次下限输入有误"_s);
    EXPECT_EQ(f.invGradeFrom, 2);
    EXPECT_EQ(f.invGradeTo, 3);
    EXPECT_EQ(sink->texts().size(), 3);
}

// Catches: wrong messages or words, a refused box that keeps its text, bounds not
// held to the class in the class box, services accepted, or the rights check
// asked with the name in the box instead of the code behind it.
TEST_P(ConditionFieldsTest, LeavingTheBoxesValidatesThem) {
    openAs(u"clerk"_s);
    ConditionOptions shop;
    shop.word = u"商品"_s;
    ConditionFields f(ctx, pickers, shop);
    f.itemClass.text = u"  99 "_s;
    EXPECT_FALSE(f.leaveItemClass());
    EXPECT_EQ(sink->last(), u"商品分类输入不合法！"_s);
    EXPECT_EQ(f.itemClass.text, QString());

    ConditionFields g(ctx, pickers);
    g.itemClass.text = u"原材料"_s;
    EXPECT_TRUE(g.leaveItemClass());
    EXPECT_EQ(g.itemClass.tag, u"01"_s);
    g.itemFrom.text = u"B001"_s;
    EXPECT_FALSE(g.leaveItemFrom());
    EXPECT_EQ(sink->last(), u"存货上限输入不合法！"_s);
    g.itemTo.text = u"S001"_s;
    EXPECT_FALSE(g.leaveItemTo());
    EXPECT_EQ(sink->last(), u"存货下限输入不合法！"_s);
    EXPECT_EQ(g.itemTo.text, QString());

    clerkHoldsItems({u"2"_s});
    g.itemFrom.text = u"A001"_s;
    EXPECT_FALSE(g.leaveItemFrom());
    EXPECT_EQ(sink->last(), u"该存货不是您所管辖的存货，请重新录入！"_s);
    EXPECT_EQ(g.itemFrom.tag, QString());
    g.itemTo.text = u"A002"_s;
    EXPECT_TRUE(g.leaveItemTo());
    EXPECT_EQ(g.itemTo.text, u"O'Brien 扣件"_s);
    EXPECT_EQ(g.itemTo.tag, u"A002"_s);
    for (const RecordingSink::Entry& e : sink->entries()) EXPECT_EQ(e.icon, MsgIcon::Exclamation);
    EXPECT_EQ(sink->texts().size(), 4);
}

// Catches: the item reference not restricted to the class chosen in the class
// box, or a pick that does not reach the bound.
TEST_P(ConditionFieldsTest, BoundReferencesFollowTheClassBox) {
    openAs(u"boss"_s);
    ConditionFields f(ctx, pickers);
    pickers.pick = u"02"_s;
    f.pickItemClass();
    EXPECT_EQ(f.itemClass.tag, u"02"_s);
    EXPECT_EQ(f.itemClass.text, u"产成品"_s);
    pickers.pick = u"B001"_s;
    f.pickItemTo();
    EXPECT_EQ(pickers.listed, QStringList{u"B001"_s});
    EXPECT_EQ(f.itemTo.tag, u"B001"_s);
    f.itemFrom.text = u"圆"_s;
    f.pickItemFrom();
    EXPECT_TRUE(pickers.listed.isEmpty());
    EXPECT_EQ(f.itemFrom.text, u"圆"_s);
}

QC_DB_SUITE(ConditionFieldsTest);

}  // namespace
}  // namespace qc
