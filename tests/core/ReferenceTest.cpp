// The reference lookups behind every reference button of the code boxes.

#include "core/ConditionFixture.h"
#include "shared/Reference.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class ReferenceTest : public test::ConditionAccount {
  protected:
    // The codes the reference window lists for a box holding `text`.
    QStringList listed(const QString& kind, const QString& text, const QString& filter = {}) {
        CodeBox box{text, {}};
        pickers.pick.reset();
        pickers.listed.clear();
        ShowReference(ctx, pickers, box, kind, filter);
        return pickers.listed;
    }
};

// Catches: a pattern that is not "contains" (prefix, or a broken empty pattern),
// services or non-stock items offered, a class filter that matches by prefix,
// or a search that depends on letter case.
TEST_P(ReferenceTest, ListsWhatTheBoxAndTheClassAllow) {
    openAs(u"boss"_s);
    EXPECT_EQ(listed(kRefInventoryClass, {}), (QStringList{u"01"_s, u"0101"_s, u"02"_s, u"03"_s}));
    EXPECT_EQ(listed(kRefInventory, {}), (QStringList{u"A001"_s, u"A002"_s, u"B001"_s, u"C1"_s, u"C2"_s}));
    EXPECT_EQ(listed(kRefInventory, u"钢"_s), QStringList{u"A001"_s});
    EXPECT_EQ(listed(kRefInventory, u"a00"_s), (QStringList{u"A001"_s, u"A002"_s}));
    EXPECT_EQ(listed(kRefInventory, {}, u"2"_s), QStringList{u"B001"_s});  // class 02 contains "2"
    EXPECT_EQ(listed(kRefInventory, {}, u"01"_s), (QStringList{u"A001"_s, u"A002"_s}));
    EXPECT_EQ(listed(kRefInventory, u"服务"_s), QStringList{});
    EXPECT_EQ(listed(kRefCustomerClass, u"零"_s), QStringList{u"K2"_s});
    EXPECT_EQ(listed(kRefCustomer, u"商行"_s), (QStringList{u"C01"_s, u"C02"_s}));
    EXPECT_EQ(listed(kRefCustomer, {}, u"K2"_s), QStringList{u"C02"_s});
    ASSERT_TRUE(pickers.lastQuery);
    EXPECT_FALSE(pickers.lastQuery->classTree.isEmpty());
    EXPECT_EQ(listed(u"仓库"_s, {}), QStringList{});  // not a reference kind: no window
    EXPECT_EQ(pickers.calls, 10);
}

// Catches: a pick that writes only one of text and tag, a cancel that still
// writes, or a quote in the typed text breaking the query (the text is bound).
TEST_P(ReferenceTest, OnlyAPickChangesTheBox) {
    openAs(u"boss"_s);
    CodeBox box{u"O'Brien"_s, u"stale"_s};
    ShowReference(ctx, pickers, box, kRefInventory, {});
    EXPECT_EQ(pickers.listed, QStringList{u"A002"_s});
    EXPECT_EQ(box.text, u"O'Brien"_s);  // cancelled
    EXPECT_EQ(box.tag, u"stale"_s);

    pickers.pick = u"A002"_s;
    EXPECT_EQ(ShowReference(ctx, pickers, box, kRefInventory, {}), QString());
    EXPECT_EQ(box.text, u"O'Brien 扣件"_s);
    EXPECT_EQ(box.tag, u"A002"_s);

    // A box that held another entry is overwritten by the pick.
    box = CodeBox{u"商行"_s, u"C01"_s};
    pickers.pick = u"C02"_s;
    ShowReference(ctx, pickers, box, kRefCustomer, {});
    EXPECT_EQ(box.text, u"华南商行"_s);
    EXPECT_EQ(box.tag, u"C02"_s);
    box = CodeBox{};
    pickers.pick = u"0101"_s;
    ShowReference(ctx, pickers, box, kRefInventoryClass, {});
    EXPECT_EQ(box.text, u"钢材"_s);
    EXPECT_EQ(box.tag, u"0101"_s);
}

// Catches: the inventory rights not applied to the item reference (or applied
// while rights checking is off), or applied to the class kinds.
TEST_P(ReferenceTest, ItemsFollowTheOperatorsInventoryRights) {
    openAs(u"clerk"_s);
    clerkHoldsItems({u"1"_s, u"7"_s});
    EXPECT_EQ(listed(kRefInventory, {}), (QStringList{u"A001"_s, u"C2"_s}));
    EXPECT_EQ(listed(kRefInventoryClass, {}).size(), 4);
    ctx.bInventoryCheck = false;
    EXPECT_EQ(listed(kRefInventory, {}).size(), 5);
}

// Catches: a failing query escaping as an exception or touching the box.
TEST_P(ReferenceTest, AFailingQueryLeavesTheBoxAlone) {
    openAs(u"boss"_s);
    run("DROP TABLE CustomerClass");
    CodeBox box{u"批发"_s, u"K1"_s};
    pickers.pick = u"K1"_s;
    EXPECT_NO_THROW(ShowReference(ctx, pickers, box, kRefCustomerClass, {}));
    EXPECT_EQ(box.text, u"批发"_s);
    EXPECT_EQ(box.tag, u"K1"_s);
}

QC_DB_SUITE(ReferenceTest);

}  // namespace
}  // namespace qc
