#include "host/HostDb.h"
#include "platform/Schema.h"
#include "session/LoginContext.h"
#include "shared/Layouts.h"
#include "support/TestDb.h"

#include <QSqlQuery>
#include <QTemporaryDir>

namespace qc {
namespace {

// Missing setting and "T…" values give the host toolbar; every other value, the
// empty one included, the standard toolbar. The first letter is matched exactly.
TEST(LayoutsTest, ToolbarStyleFromTheMachineSettings) {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("machine.ini")));
    EXPECT_EQ(ToolbarStyle(store), 1);
    store.write(kAppearanceKey, QStringLiteral("Menu Style"), QStringLiteral("Flat"));
    EXPECT_EQ(ToolbarStyle(store), 1);
    const std::pair<const char*, short> cases[] = {{"TextUnderIcon", 1}, {"T", 1},     {"", 2},
                                                   {"text", 2},          {"Icons", 2}, {" T", 2}};
    for (const auto& [value, style] : cases) {
        store.write(kAppearanceKey, kToolbarStyleValue, QString::fromLatin1(value));
        EXPECT_EQ(ToolbarStyle(store), style) << value;
    }
    // The same key under another path is not the machine's setting.
    store.remove(kAppearanceKey, kToolbarStyleValue);
    store.write(QStringLiteral("SOFTWARE\\Merovex\\WF\\V8.51\\Appearance"), kToolbarStyleValue,
                QStringLiteral("X"));
    EXPECT_EQ(ToolbarStyle(store), 1);
}

class LayoutsDbTest : public test::DbTest {};

// Saving must replace the whole layout (no leftover columns from a wider grid)
// and leave the other layouts alone.
TEST_P(LayoutsDbTest, SavedWidthsReplaceOneLayout) {
    createSchema(db());
    LoginContext ctx;
    ctx.gDb = std::make_unique<HostDb>();
    ctx.gDb->Open(conn());
    SaveColumnWidths(ctx, kLayoutSummaryInfo, {1, 2, 3, 4, 5, 6, 7, 8});
    SaveColumnWidths(ctx, kLayoutCompareInfo, {700, 800});
    SaveColumnWidths(ctx, kLayoutSummaryInfo, {1200, 900, 0, 1500, 300});

    auto layout = [&](short n) {
        QStringList out;
        QSqlQuery q = db().exec(
            QStringLiteral("SELECT cCNum, cCWidth FROM IA_tblRCsetM WHERE ctblNum = ? ORDER BY cCNum"),
            {int(n)});
        while (q.next()) out << QStringLiteral("%1:%2").arg(intOf(q.value(0))).arg(intOf(q.value(1)));
        return out.join(u' ');
    };
    EXPECT_EQ(layout(kLayoutSummaryInfo), QStringLiteral("0:1200 1:900 2:0 3:1500 4:300"));
    EXPECT_EQ(layout(kLayoutCompareInfo), QStringLiteral("0:700 1:800"));
    SaveColumnWidths(ctx, kLayoutCompareInfo, {});
    EXPECT_EQ(layout(kLayoutCompareInfo), QString());
}

QC_DB_SUITE(LayoutsDbTest);

}  // namespace
}  // namespace qc
