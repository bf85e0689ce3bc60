// The print set-up of the entry grid: the page header and footer kept as two small
// tables of the scratch database, and read back for the pages.

#include "opening/OpeningEntry.h"

#include "entry/clsQC.h"
#include "host/AccPara.h"
#include "host/VqLogin.h"
#include "platform/Database.h"
#include "platform/ScratchDb.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/OutputCommands.h"

#include <QRandomGenerator>
#include <QSqlQuery>

namespace qc::opening {

PrintSetup OpeningEntry::PreparePrint(const QString& warehouseLabel, const QString& warehouseName) {
    if (!m_ctx.gTempMdb) createScratchDatabase(m_ctx);
    Database& scratch = m_ctx.gTempMdb->db();
    // Unique per instance and print: the tag and the random number come from this
    // program; the instance number (empty when the account gave none) must be a
    // whole number before it becomes part of a table name.
    const auto name = [this](const char* kind) {
        bool whole = true;
        if (!m_ctx.gInstanceNo.isEmpty()) (void)m_ctx.gInstanceNo.toInt(&whole);
        if (!whole) throw DbError(QStringLiteral("实例号不能用作表名：%1").arg(m_ctx.gInstanceNo));
        return UniqueTag() + QString::number(QRandomGenerator::global()->bounded(1, 9001)) +
               QString::fromLatin1(kind) + m_ctx.gInstanceNo;
    };
    PrintSetup s;
    s.headerTable = name("InitHead");
    s.footerTable = name("InitTail");
    scratch.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (cCaption VARCHAR(10), cName VARCHAR(50))")
                     .arg(s.headerTable));
    scratch.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Unit VARCHAR(50), Person VARCHAR(20), dDate DATE)")
            .arg(s.footerTable));
    scratch.exec(QStringLiteral("DELETE FROM %1").arg(s.headerTable));
    scratch.exec(QStringLiteral("DELETE FROM %1").arg(s.footerTable));
    scratch.exec(QStringLiteral("INSERT INTO %1 (cCaption, cName) VALUES (?, ?)").arg(s.headerTable),
                 {warehouseLabel, QStringLiteral("%1(%2)").arg(warehouseName, CurrentWhCode)});
    scratch.exec(
        QStringLiteral("INSERT INTO %1 (Unit, Person, dDate) VALUES (?, ?, ?)").arg(s.footerTable),
        {UnitName(m_ctx), m_ctx.gLogin ? m_ctx.gLogin->UserName() : QString(),
         m_ctx.gLogin ? m_ctx.gLogin->LoginDate().toString(QStringLiteral("yyyy-MM-dd")) : QString()});

    QSqlQuery head = scratch.exec(QStringLiteral("SELECT cCaption, cName FROM %1").arg(s.headerTable));
    while (head.next()) s.header << textOf(head.value(0)) + textOf(head.value(1));
    QSqlQuery tail = scratch.exec(QStringLiteral("SELECT Unit, Person, dDate FROM %1").arg(s.footerTable));
    while (tail.next())
        s.footer << PrintFooterLine(textOf(tail.value(0)), textOf(tail.value(1)), textOf(tail.value(2)));
    return s;
}

QString OpeningEntry::currentWarehouseName() const {
    for (const QString& item : m_warehouseItems) {
        const QString code = AccPara::WarehouseCodeOf(item);
        if (code.trimmed() == CurrentWhCode.trimmed()) return item.mid(code.size()).trimmed();
    }
    return {};
}

}  // namespace qc::opening
