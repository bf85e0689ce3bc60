#pragma once

// The opening entry window's rules on the demo account (or a smaller one), with a scripted window
// and scripted pick windows: log in as an operator, open the window, pick a
// warehouse, key rows into the grid and leave them.

#include "demo/Demo.h"
#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "opening/OpeningEntry.h"
#include "platform/Decimal.h"
#include "platform/MessageSink.h"
#include "platform/SheetReader.h"
#include "session/LoginContext.h"
#include "support/AccountBuilder.h"
#include "support/TestDb.h"

#include <QSqlQuery>

#include <memory>
#include <optional>

namespace qc::test {

// A sheet as a file would give it: the captions on line 1, the rows from line 2.
inline Sheet sheetOf(const QStringList& captions, const QList<QStringList>& rows) {
    Sheet s;
    s.captionLine = 1;
    s.captions = captions;
    for (int i = 0; i < rows.size(); ++i) s.rows << SheetRow{i + 2, rows.at(i)};
    return s;
}

// The window as the rules see it: answers from a script, remembers what it was asked.
class ScriptedEntryWindow : public opening::EntryWindow {
  public:
    bool editing = false;
    // The filter dialog's answer: the new class, from and to; nothing = Cancel.
    std::optional<QStringList> filterAnswer;
    int filters = 0, finds = 0, closes = 0;
    QList<std::pair<QString, int>> helps;

    [[nodiscard]] bool inEditMode() const override { return editing; }
    bool showFilter(QString& classCode, QString& codeFrom, QString& codeTo) override {
        ++filters;
        if (!filterAnswer) return false;
        classCode = filterAnswer->value(0);
        codeFrom = filterAnswer->value(1);
        codeTo = filterAnswer->value(2);
        return true;
    }
    void showFind() override { ++finds; }
    void showSummary() override {}
    void showCompare() override {}
    void showHelp(const QString& helpFile, int context) override {
        helps << std::make_pair(helpFile, context);
    }
    void printGrid(const QString&) override {}
    void setBusy(bool) override {}
    QList<opening::ImportProblem> importProblems;  // the last problems shown
    void showImportProblems(const QList<opening::ImportProblem>& problems) override {
        importProblems = problems;
    }
    void closeWindow() override { ++closes; }
};

// The selection window returns `selection` and remembers its condition.
class ScriptedEntryPickers : public Pickers {
  public:
    std::optional<QList<PickedRow>> selection;
    std::optional<SqlFragment> lastCondition;

    std::optional<PickedRow> reference(Database&, const ReferenceQuery&) override { return std::nullopt; }
    std::optional<QList<PickedRow>> selectInventory(Database&, const SqlFragment& condition) override {
        lastCondition = condition;
        return selection;
    }
    std::optional<QDate> pickDate(const QDate&) override { return std::nullopt; }
    // The file 输出 writes to (nothing: cancelled).
    std::optional<QString> saveAnswer;
    std::optional<QString> saveFile(const QString&, const QStringList&) override { return saveAnswer; }
    // The file 导入 reads (nothing: cancelled).
    std::optional<QString> openAnswer;
    std::optional<QString> openFile(const QStringList&) override { return openAnswer; }
    // The worksheet chosen among those offered (nothing: cancelled).
    std::optional<QString> chooseAnswer;
    QStringList offered;
    std::optional<QString> chooseItem(const QString&, const QString&, const QStringList& items) override {
        offered = items;
        return chooseAnswer;
    }
};

class OpeningFixture : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        qputenv("QC_FAST_HASH", "1");
        buildAccount();
    }
    // The account the suite works on: the whole demo account unless a suite builds
    // the small one it needs.
    virtual void buildAccount() { demo::createDemo(db()); }
    void TearDown() override {
        close();
        DbTest::TearDown();
    }
    void close() {
        entry.reset();
        closeContext(ctx);
        ctx = LoginContext{};
        login.reset();
    }

    // Logs in and runs the window's load steps; no warehouse is chosen yet.
    void open(const QString& user = QStringLiteral("demo"),
              const QString& password = QStringLiteral("demo123")) {
        close();
        QString err;
        login = VqLogin::login({conn(), QStringLiteral("001"), 2026, user, password, QDate(2026, 1, 1), {}},
                               &err);
        ASSERT_TRUE(login) << err.toStdString();
        ctx.sink = &sink;
        ctx.scratchFolder = folder();
        openContext(ctx, *login, false, ConnectionMode::Reconnect);
        entry = std::make_unique<opening::OpeningEntry>(ctx, pickers, window);
        entry->Load();
    }
    // Chooses a warehouse in the list, as a click on its item does.
    void pick(const QString& wh) {
        for (const QString& item : entry->warehouseItems())
            if (item.left(15).trimmed() == wh) entry->WarehouseClick(item);
        ASSERT_EQ(entry->CurrentWhCode, wh);
        sink.clear();
    }
    void setParam(const char* sys, const char* name, const QString& value) {
        db().exec(QStringLiteral("UPDATE AccInformation SET cValue = ? WHERE cSysID = ? AND cName = ?"),
                  {value, QString::fromLatin1(sys), QString::fromLatin1(name)});
    }

    grid::GridModel& grid() { return entry->grid(); }
    // A new grid row with the given cells, as typed.
    int addRow(std::initializer_list<std::pair<int, QString>> cells) {
        const int row = grid().addEmptyRow();
        for (const auto& [col, text] : cells) grid().setText(row, col, text);
        return row;
    }
    // Leaves a row: true when it passed its checks and was stored.
    bool leave(int row) {
        bool cancel = false;
        entry->ValidateAndStoreRow(cancel, row);
        return !cancel;
    }
    int rowOf(qint64 autoId) {
        for (int r = 0; r < grid().dataRowCount(); ++r)
            if (grid().text(r, opening::Col::AutoId) == QString::number(autoId)) return r;
        return -1;
    }
    qint64 count(const QString& where, const QVariantList& binds = {}) {
        return db()
            .scalar(QStringLiteral("SELECT COUNT(*) FROM IA_Subsidiary WHERE ") + where, binds)
            .toLongLong();
    }
    // One stored field of an opening row.
    QVariant stored(qint64 autoId, const QString& field) {
        return db().scalar(QStringLiteral("SELECT %1 FROM IA_Subsidiary WHERE AutoID = ?").arg(field),
                           {autoId});
    }
    Decimal storedNumber(qint64 autoId, const QString& field) {
        return Decimal::fromVariant(stored(autoId, field));
    }
    qint64 insertOpening(const QString& wh, const QString& inv, const QString& qty, const QString& cost,
                         const QString& amount) {
        return db().insertReturningId(
            QStringLiteral("IA_Subsidiary"),
            {QStringLiteral("bRdFlag"), QStringLiteral("cWhCode"), QStringLiteral("iMonth"),
             QStringLiteral("cVouType"), QStringLiteral("cInvCode"), QStringLiteral("iAInQuantity"),
             QStringLiteral("iInCost"), QStringLiteral("iAInPrice"), QStringLiteral("cAccDep")},
            {1, wh, 0, QStringLiteral("34"), inv, qty, cost, amount, QStringLiteral("06")},
            QStringLiteral("AutoID"));
    }

    LoginContext ctx;
    RecordingSink sink;
    ScriptedEntryPickers pickers;
    ScriptedEntryWindow window;
    std::unique_ptr<VqLogin> login;
    std::unique_ptr<opening::OpeningEntry> entry;
};

}  // namespace qc::test
