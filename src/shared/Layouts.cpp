#include "shared/Layouts.h"

#include "host/HostDb.h"
#include "platform/Database.h"
#include "session/LoginContext.h"

namespace qc {

void SaveColumnWidths(LoginContext& ctx, short layout, const QList<int>& widths) {
    Database& db = accountDb(ctx);
    // The old widths go only together with the new ones going in.
    Transaction tx(db);
    db.exec(QStringLiteral("DELETE FROM IA_tblRCsetM WHERE ctblNum = ?"), {int(layout)});
    if (!widths.isEmpty()) {
        QStringList rows;
        QVariantList binds;
        for (qsizetype c = 0; c < widths.size(); ++c) {
            rows << QStringLiteral("(?,?,?)");
            binds << int(layout) << int(c) << widths.at(c);
        }
        db.exec(QStringLiteral("INSERT INTO IA_tblRCsetM(ctblNum,cCNum,cCWidth) VALUES ") + rows.join(u','),
                binds);
    }
    tx.commit();
}

short ToolbarStyle(const SettingsStore& store) {
    const std::optional<QString> value = store.read(kAppearanceKey, kToolbarStyleValue);
    if (!value) return 1;
    return (!value->isEmpty() && value->at(0) == u'T') ? 1 : 2;
}

}  // namespace qc
