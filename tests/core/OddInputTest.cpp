// Odd and hostile texts through every place the opening windows take text: the
// cells of the entry grid under each valuation method, the find, the reference
// lists, the condition boxes of the filter, summary, reconciliation and
// dispatched-goods dialogs, the dispatched-goods cells and every column of an
// imported file. Nothing may crash or let an exception out, a refusal says why in
// the system's own words and changes nothing in the database, and what is
// accepted is stored as the rules say.

#include "dispatched/DispatchedColumns.h"
#include "dispatched/DispatchedConditions.h"
#include "dispatched/DispatchedEntry.h"
#include "dispatched/DispatchedQuery.h"
#include "platform/Schema.h"
#include "platform/SheetReader.h"
#include "platform/TextInput.h"
#include "reconcile/Reconciliation.h"
#include "summary/GradeSummary.h"
#include "support/DatabaseDump.h"
#include "support/OddInputs.h"
#include "support/OpeningFixture.h"
#include "support/ScriptedPickers.h"

#include <QRegularExpression>
#include <QSqlRecord>

#include <exception>
#include <functional>
#include <map>
#include <vector>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;
using Status = opening::ImportOutcome::Status;

// Runs `work`; an exception that gets out of it is a failure, reported with what escaped.
// With `bound`, the text handed to it unchecked (as a script could), the database
// layer's refusal of a text no database keeps is the answer expected for such a text.
bool noEscape(const std::function<void()>& work, const char* what, const QString* bound = nullptr) {
    try {
        work();
        return true;
    } catch (const DbError& e) {
        if (bound && hasUnstorableCharacters(*bound) && e.message() == kUnstorableText) return false;
        ADD_FAILURE() << what << ": DbError escaped: " << e.message().toStdString() << " in "
                      << e.statement().left(200).toStdString();
    } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": exception escaped: " << e.what();
    } catch (...) {
        ADD_FAILURE() << what << ": unknown exception escaped";
    }
    return false;
}

// The dictionary a code cell's accepted value must come from: the code column and
// the columns a typed text may name an entry by.
struct CodeDictionary {
    QString table, code;
    QStringList names;
};

std::optional<CodeDictionary> dictionaryOf(int col) {
    switch (col) {
        case Col::InvCode:
            return CodeDictionary{u"Inventory"_s, u"cInvCode"_s, {u"cInvName"_s, u"cInvAddCode"_s}};
        case Col::VenCode:
            return CodeDictionary{u"Vendor"_s, u"cVenCode"_s, {u"cVenName"_s, u"cVenAbbName"_s}};
        case Col::DepCode:
            return CodeDictionary{u"Department"_s, u"cDepCode"_s, {u"cDepName"_s}};
        case Col::PersonCode:
            return CodeDictionary{u"Person"_s, u"cPersonCode"_s, {u"cPersonName"_s}};
        case Col::InvHead:
            return CodeDictionary{u"code"_s, u"cCode"_s, {u"cCode_Name"_s}};
        case Col::ItemClass:
            return CodeDictionary{u"fitem"_s, u"cItem_Class"_s, {u"cItem_Name"_s}};
        default:
            return std::nullopt;
    }
}

// The date a text denotes by its digits: year, month and day as three numbers, or
// eight digits in a row; invalid otherwise.
QDate dateByDigits(const QString& text) {
    static const QRegularExpression numbers(u"[0-9]+"_s);
    QList<int> parts;
    for (auto it = numbers.globalMatch(text); it.hasNext();) parts << it.next().captured().toInt();
    const QString t = text.trimmed();
    if (parts.size() == 1 && t.size() == 8)
        return QDate(t.left(4).toInt(), t.mid(4, 2).toInt(), t.right(2).toInt());
    if (parts.size() == 3) return QDate(parts.at(0), parts.at(1), parts.at(2));
    return {};
}

class OddInputTest : public test::OpeningFixture {
  protected:
    // A warehouse of each valuation method (01 planned price, 02 first-in-first-out,
    // 03 monthly average, 04 last-in-first-out, 05 specific identification, 06
    // selling price), items that fit each of them, an opening in 02 and a
    // dispatched-goods note to take over.
    void buildAccount() override {
        test::AccountBuilder account(db());
        account.warehouses({"01", "02", "03", "04", "05", "06"})
            .items({"1001", "1101", "1102", "2011", "3001", "5001"});
        account.opening({u"02"_s, u"1101"_s, u"40"_s, u"8.30"_s, u"332"_s});
    }
    void TearDown() override {
        dispatchedEntry.reset();
        OpeningFixture::TearDown();
    }

    // Every message said since the last clear is one a user can read.
    void expectClearMessages(const QString& input) {
        for (const RecordingSink::Entry& e : sink.entries())
            EXPECT_TRUE(test::isClearMessage(e.text, input)) << "message: " << e.text.toStdString();
    }
    bool anyRefusalSaid() const {
        for (const RecordingSink::Entry& e : sink.entries())
            if (e.icon == MsgIcon::Critical || e.icon == MsgIcon::Exclamation) return true;
        return false;
    }
    // The account without its audit trail, which the stores below grow by design
    // (events() counts it).
    test::DatabaseDump dump() { return test::dumpDatabase(db(), test::kTrailTables); }
    qint64 events() { return db().scalar(u"SELECT COUNT(*) FROM IA_AuditLog"_s).toLongLong(); }
    void expectSameDump(const test::DatabaseDump& before, const char* where) {
        const QString diff = test::dumpDifference(before, dump());
        EXPECT_TRUE(diff.isEmpty()) << where << ":\n" << diff.toStdString();
    }

    // A grid row as typing leaves it: the first of `items` the warehouse takes, and
    // a quantity of 2.
    QStringList templateRow(const QStringList& items) {
        for (const QString& code : items) {
            const int row = grid().addEmptyRow();
            QString item = code, quantity = u"2"_s;
            bool cancel = false;
            entry->ValidateCell(item, cancel, row, Col::InvCode);
            if (!cancel) entry->ValidateCell(quantity, cancel, row, Col::Quantity);
            const QStringList cells = grid().dataRow(row);
            grid().removeDataRow(row);
            if (!cancel) return cells;
        }
        ADD_FAILURE() << "no item fits warehouse " << entry->CurrentWhCode.toStdString();
        return {};
    }

    // One input typed into a new row made from `cells`, and the row left.
    struct Typed {
        bool accepted = false, stored = false;
        QString value;
        QStringList messages;
        qint64 id = 0;
    };
    Typed typeAndLeave(const QStringList& cells, int col, const QString& input) {
        Typed t;
        const int row = grid().addEmptyRow();
        for (int c = 0; c < cells.size(); ++c)
            if (!cells.at(c).isEmpty()) grid().setText(row, c, cells.at(c));
        const QStringList before = grid().dataRow(row);
        sink.clear();
        QString value = input;
        bool cancel = true;
        if (!noEscape([&] { entry->ValidateCell(value, cancel, row, col); }, "ValidateCell")) {
            grid().removeDataRow(row);
            return t;
        }
        t.messages = sink.texts();
        if (cancel) {
            EXPECT_TRUE(anyRefusalSaid()) << "refused without a word";
            EXPECT_EQ(grid().dataRow(row), before) << "a refused value changed the row";
            expectClearMessages(input);
            grid().removeDataRow(row);
            return t;
        }
        t.accepted = true;
        t.value = value;
        EXPECT_FALSE(anyRefusalSaid()) << "accepted with " << sink.texts().join(u' ').toStdString();
        EXPECT_EQ(grid().text(row, col), value);
        sink.clear();
        bool refused = true;
        noEscape([&] { entry->ValidateAndStoreRow(refused, row); }, "ValidateAndStoreRow");
        t.messages += sink.texts();
        const QString id = grid().text(row, Col::AutoId);
        if (refused) {
            EXPECT_TRUE(anyRefusalSaid()) << "row refused without a word";
            EXPECT_TRUE(id.isEmpty()) << "a refused row has a stored id";
            expectClearMessages(input);
        } else {
            t.stored = true;
            t.id = id.toLongLong();
            EXPECT_GT(t.id, 0);
        }
        grid().removeDataRow(row);
        return t;
    }

    // What the rules say an accepted cell holds, against the typed input.
    void expectAcceptedAsTheRulesSay(int col, const QString& input, const QString& value) {
        const QString typed = input.trimmed();
        const grid::ColumnSpec& column = opening::openingColumns().at(col);
        if (const std::optional<CodeDictionary> d = dictionaryOf(col)) {
            if (typed.isEmpty()) {
                EXPECT_TRUE(value.isEmpty());
                return;
            }
            // The code of an entry the text names by its code or one of its names.
            QString where = d->code + u" = ?"_s;
            QVariantList binds{typed};
            for (const QString& n : d->names) {
                where += u" OR "_s + n + u" = ?"_s;
                binds << typed;
            }
            binds.prepend(value);
            EXPECT_EQ(
                db().scalar(u"SELECT COUNT(*) FROM %1 WHERE %2 = ? AND (%3)"_s.arg(d->table, d->code, where),
                            binds)
                    .toInt(),
                1)
                << "accepted as " << value.toStdString();
            return;
        }
        if (col == Col::ItemCode) {
            EXPECT_TRUE(typed.isEmpty() ? value.isEmpty() : !value.isEmpty());
            return;
        }
        if (column.kind == grid::ColumnKind::Date || col == Col::VouDate) {
            if (typed.isEmpty()) {
                EXPECT_TRUE(value.isEmpty());
                return;
            }
            const QDate shown = QDate::fromString(value, u"yyyy/MM/dd"_s);
            EXPECT_TRUE(shown.isValid()) << value.toStdString();
            EXPECT_EQ(shown, dateByDigits(typed)) << "accepted as " << value.toStdString();
            EXPECT_GT(shown, QDate(1949, 1, 1));
            if (col == Col::VouDate) {
                EXPECT_LT(shown, entry->IAStartDate);
            }
            return;
        }
        if (column.numeric() || col == Col::Quantity || col == Col::UnitCost || col == Col::Amount) {
            if (typed.isEmpty()) {
                EXPECT_TRUE(value.isEmpty());
                return;
            }
            const std::optional<Decimal> n = Decimal::parse(typed);
            ASSERT_TRUE(n) << "a text that is no number accepted as " << value.toStdString();
            const int places = col == Col::Quantity   ? entry->QuanDec
                               : col == Col::UnitCost ? entry->PriceDec
                               : col == Col::Amount   ? 2
                                                      : Decimal::kScale;
            EXPECT_EQ(Decimal::parse(value), n->round(places)) << "accepted as " << value.toStdString();
            return;
        }
        // Free text keeps what was typed; a value of an archive may stand for its alias.
        if (value != input) {
            EXPECT_GT(db().scalar(u"SELECT COUNT(*) FROM UserDefine WHERE cValue = ? AND cAlias = ?"_s,
                                  {value, typed})
                          .toInt(),
                      0)
                << "free text changed to " << value.toStdString();
        }
    }

    // The stored column of a grid column holds what the grid cell shows.
    void expectStoredAsShown(qint64 id, int col, const QString& shown) {
        const QString source = opening::openingColumns().at(col).source;
        if (!source.startsWith(u"IA_Subsidiary."_s, Qt::CaseInsensitive)) return;
        const QString column = source.section(u'.', 1);
        const TableDef* table = findTable(u"IA_Subsidiary"_s);
        const ColumnDef* def = table ? table->column(column) : nullptr;
        ASSERT_TRUE(def) << column.toStdString();
        const QVariant stored =
            db().scalar(u"SELECT %1 FROM IA_Subsidiary WHERE AutoID = ?"_s.arg(def->name), {id});
        switch (def->type) {
            case ColType::Date:
                if (!shown.trimmed().isEmpty()) {
                    EXPECT_EQ(dateOf(stored), QDate::fromString(shown.trimmed(), u"yyyy/MM/dd"_s));
                }
                break;
            case ColType::Text:
                // A new row writes a user-defined field without its commas.
                EXPECT_EQ(textOf(stored), column.startsWith(u"cDefine"_s, Qt::CaseInsensitive)
                                              ? QString(shown).remove(u',')
                                              : shown)
                    << column.toStdString();
                break;
            default:
                // Numbers as numbers: the cell may keep the text it was typed as.
                EXPECT_EQ(Decimal::fromVariant(stored), Decimal::fromText(QString(shown).remove(u',')))
                    << column.toStdString();
        }
    }

    // A new row with the given cells typed left to right (blank ones skipped, as a
    // file's are), then left: what typing the same line of a file says.
    Typed typeLine(const std::map<int, QString>& cells, const QString& input) {
        Typed t;
        const int row = grid().addEmptyRow();
        sink.clear();
        for (const auto& [col, text] : cells) {
            if (text.trimmed().isEmpty()) continue;
            QString value = text;
            bool cancel = true;
            if (!noEscape([&] { entry->ValidateCell(value, cancel, row, col); }, "ValidateCell"))
                cancel = true;
            if (cancel) {
                t.messages = sink.texts();
                expectClearMessages(input);
                grid().removeDataRow(row);
                return t;
            }
        }
        t.accepted = true;
        bool refused = true;
        noEscape([&] { entry->ValidateAndStoreRow(refused, row); }, "ValidateAndStoreRow");
        t.messages = sink.texts();
        if (!refused) {
            t.stored = true;
            t.id = grid().text(row, Col::AutoId).toLongLong();
        }
        grid().removeDataRow(row);
        return t;
    }

    // Runs the list query of every reference window of the grid for `input`; with
    // `holding`, every entry listed holds the text in one of its listed fields.
    void listReferences(const QString& input, bool holding) {
        const int row = grid().addEmptyRow();
        grid().setText(row, Col::ItemClass, u"01"_s);
        for (const int col : {Col::InvCode, Col::DepCode, Col::PersonCode, Col::VenCode, Col::InvHead,
                              Col::ItemClass, Col::ItemCode, Col::Free1}) {
            SCOPED_TRACE("reference of " + grid().caption(col).toStdString());
            ReferenceQuery q;
            if (!noEscape([&] { q = entry->ReferenceQueryFor(row, col, input); }, "ReferenceQueryFor"))
                continue;
            if (q.list.isEmpty()) continue;
            noEscape(
                [&] {
                    QSqlQuery r = db().exec(q.list);
                    while (holding && r.next()) {
                        bool holds = false;
                        // Characters no stored text holds are left out of a search.
                        const QString searched = withoutNoTextCharacters(input);
                        for (int i = 0; i < r.record().count(); ++i)
                            holds = holds || textOf(r.value(i)).contains(searched, Qt::CaseInsensitive);
                        EXPECT_TRUE(holds) << "listed without the text: " << textOf(r.value(0)).toStdString();
                    }
                },
                "reference list");
        }
        grid().removeDataRow(row);
    }

    void removeStored(const QList<qint64>& ids) {
        for (const qint64 id : ids) db().exec(u"DELETE FROM IA_Subsidiary WHERE AutoID = ?"_s, {id});
    }

    std::unique_ptr<dispatched::DispatchedEntry> dispatchedEntry;
};

const QStringList kItems{u"1001"_s, u"1101"_s, u"3001"_s, u"5001"_s, u"1102"_s};

// Catches: a crash or an exception (a failing statement included) out of a cell
// rule or the row checks, a refusal without a message or in a driver's words, a
// refused value leaving the row or the database changed, a text that is no
// number, no date or no entry of the dictionary accepted, and a value stored other
// than the cell shows — in every keyed cell, under each valuation method.
TEST_P(OddInputTest, EveryKeyedCellOfTheGridUnderEachMethod) {
    open();
    int tried = 0, accepted = 0, stored = 0;
    for (const QString& wh : {u"02"_s, u"01"_s, u"03"_s, u"04"_s, u"05"_s, u"06"_s}) {
        SCOPED_TRACE("warehouse " + wh.toStdString());
        pick(wh);
        ASSERT_FALSE(entry->gridReadOnly());
        const QStringList cells = templateRow(kItems);
        ASSERT_FALSE(cells.isEmpty());
        // Every keyed cell in one warehouse; those the method rules in the others.
        QList<int> columns;
        if (wh == u"02") {
            const int probe = grid().addEmptyRow();
            for (int c = 0; c < Col::Count; ++c)
                if (entry->cellEditable(probe, c)) columns << c;
            grid().removeDataRow(probe);
            ASSERT_GT(columns.size(), 40);
        } else {
            columns = {Col::InvCode, Col::Quantity, Col::UnitCost, Col::Amount, Col::VouDate};
        }
        const test::DatabaseDump before = dump();
        for (const int col : columns) {
            SCOPED_TRACE("column " + grid().caption(col).toStdString());
            const qint64 eventsBefore = events();
            QList<qint64> ids;
            for (const QString& input : test::oddInputs()) {
                SCOPED_TRACE(test::describeInput(input));
                QStringList row = cells;
                if (col == Col::InvCode) row[Col::InvCode].clear();
                const Typed t = typeAndLeave(row, col, input);
                ++tried;
                if (!t.accepted) continue;
                ++accepted;
                expectAcceptedAsTheRulesSay(col, input, t.value);
                if (!t.stored) continue;
                ++stored;
                ids << t.id;
                expectStoredAsShown(t.id, col, t.value);
            }
            // One event per stored row; a refused input writes none.
            EXPECT_EQ(events() - eventsBefore, ids.size());
            removeStored(ids);
            expectSameDump(before, "after the column's inputs, stored rows taken out");
        }
    }
    RecordProperty("tried", tried);
    RecordProperty("accepted", accepted);
    RecordProperty("stored", stored);
}

// Catches: the find matching on a part or a pattern of the text, and a reference
// list whose query fails (a DbError out of it) on quotes, escapes, control
// characters or long text, or that changes anything.
TEST_P(OddInputTest, FindAndReferenceListsRunOnAnyText) {
    open();
    pick(u"02"_s);
    ASSERT_GT(grid().dataRowCount(), 0);
    const test::DatabaseDump before = dump();
    for (const QString& input : test::oddInputs()) {
        SCOPED_TRACE(test::describeInput(input));
        int found = -2;
        noEscape([&] { found = entry->FindRow(input); }, "FindRow");
        const QString typed = input.trimmed();
        if (found >= 0) {
            EXPECT_TRUE(grid().text(found, Col::InvCode).trimmed().compare(typed, Qt::CaseInsensitive) == 0 ||
                        grid().text(found, Col::InvName).trimmed().compare(typed, Qt::CaseInsensitive) == 0);
        } else {
            EXPECT_EQ(found, -1);
        }
        listReferences(input, false);
    }
    EXPECT_TRUE(sink.entries().isEmpty()) << sink.texts().join(u' ').toStdString();
    expectSameDump(before, "after finding and listing");
}

// Catches: a reference list that takes the typed text as a pattern: "%", "_" or a
// backslash listing entries that do not hold the text, or a NUL cutting it short.
TEST_P(OddInputTest, ReferenceListsListOnlyEntriesHoldingTheText) {
    open();
    pick(u"02"_s);
    for (const QString& input : test::oddInputs()) {
        SCOPED_TRACE(test::describeInput(input));
        listReferences(input, true);
    }
}

// Catches: a condition box accepting a text that names no entry (or the wrong
// one), a box that fails on quotes or control characters, a message in a driver's
// words, and a condition that reaches the summary, the reconciliation or the
// dispatched-goods query as anything but a bound code.
TEST_P(OddInputTest, ConditionBoxesOfTheDialogs) {
    open();
    summary::GradeSummary opening(ctx, summary::SummaryKind::Opening);
    reconcile::Reconciliation reconciliation(ctx);
    const test::DatabaseDump before = dump();
    test::ScriptedPickers refs;
    int boxes = 0;
    for (const QString& input : test::oddInputs()) {
        SCOPED_TRACE(test::describeInput(input));
        ConditionOptions options;
        options.warehouses = options.grades = options.valuationInEntries = true;
        ConditionFields f(ctx, refs, options);
        f.Load();
        dispatched::DispatchedConditions d(ctx, refs);
        d.Load();
        struct Box {
            const char* name;
            CodeBox& box;
            std::function<bool()> leave;
            QString table, code, name_;
        };
        const std::vector<Box> all{
            {"item class", f.itemClass, [&] { return f.leaveItemClass(); }, u"InventoryClass"_s,
             u"cInvCCode"_s, u"cInvCName"_s},
            {"item from", f.itemFrom, [&] { return f.leaveItemFrom(); }, u"Inventory"_s, u"cInvCode"_s,
             u"cInvName"_s},
            {"item to", f.itemTo, [&] { return f.leaveItemTo(); }, u"Inventory"_s, u"cInvCode"_s,
             u"cInvName"_s},
            {"customer class", d.customerClass, [&] { return d.leaveCustomerClass(); }, u"CustomerClass"_s,
             u"cCCCode"_s, u"cCCName"_s},
            {"customer from", d.customerFrom, [&] { return d.leaveCustomerFrom(); }, u"Customer"_s,
             u"cCusCode"_s, u"cCusName"_s},
            {"customer to", d.customerTo, [&] { return d.leaveCustomerTo(); }, u"Customer"_s, u"cCusCode"_s,
             u"cCusName"_s},
        };
        for (const Box& b : all) {
            SCOPED_TRACE(b.name);
            ++boxes;
            sink.clear();
            b.box = CodeBox{input, {}};
            bool kept = false;
            if (!noEscape([&] { kept = b.leave(); }, "leaving the box")) continue;
            if (kept) {
                EXPECT_FALSE(anyRefusalSaid());
                if (input.trimmed().isEmpty()) {
                    EXPECT_TRUE(ConditionFields::CodeOf(b.box).isEmpty());
                } else {
                    // The entry the text names by its code or its name.
                    EXPECT_EQ(
                        db().scalar(u"SELECT COUNT(*) FROM %1 WHERE %2 = ? AND (%2 = ? OR %3 = ?)"_s.arg(
                                        b.table, b.code, b.name_),
                                    {b.box.tag, input.trimmed(), input.trimmed()})
                            .toInt(),
                        1)
                        << "kept as " << b.box.tag.toStdString();
                }
            } else {
                EXPECT_TRUE(anyRefusalSaid());
                EXPECT_TRUE(b.box.text.isEmpty());
                EXPECT_TRUE(b.box.tag.isEmpty());
                expectClearMessages(input);
            }
        }
        // What the dialogs hand on, then the input itself as a code, as a script could.
        for (const bool raw : {false, true}) {
            SCOPED_TRACE(raw ? "the input as every code" : "the codes of the boxes");
            summary::SummaryRequest s;
            s.warehouses = f.warehouses;
            s.itemClass = raw ? input : ConditionFields::CodeOf(f.itemClass);
            s.itemFrom = raw ? input : ConditionFields::CodeOf(f.itemFrom);
            s.itemTo = raw ? input : ConditionFields::CodeOf(f.itemTo);
            noEscape([&] { opening.Compute(s); }, "summary", raw ? &input : nullptr);
            noEscape([&] { (void)opening.GetData(0, opening.gradeCount()); }, "summary lines",
                     raw ? &input : nullptr);
            reconcile::ReconcileRequest r;
            for (const WarehouseEntry& w : f.warehouses) r.warehouses << w.code;
            r.itemClass = s.itemClass;
            r.itemFrom = s.itemFrom;
            r.itemTo = s.itemTo;
            r.amounts = true;
            noEscape([&] { reconciliation.Compute(r); }, "reconciliation", raw ? &input : nullptr);
            noEscape([&] { (void)reconciliation.rows(); }, "reconciliation lines", raw ? &input : nullptr);
            std::optional<dispatched::DispatchedFilter> filter;
            if (noEscape([&] { filter = d.Display(); }, "dispatched conditions") && filter) {
                if (raw)
                    *filter = dispatched::DispatchedFilter{
                        filter->warehouses, input, input, input, input, input, input};
                noEscape(
                    [&] {
                        QSqlQuery q = db().exec(
                            dispatched::dispatchedQuery(ctx, dispatched::BusinessType::Instalment, *filter));
                        while (q.next()) {
                        }
                    },
                    "dispatched query", raw ? &input : nullptr);
            }
        }
    }
    RecordProperty("boxes", boxes);
    expectSameDump(before, "after the condition dialogs");
}

// Catches: a figure or subject cell of the dispatched-goods window that lets an
// exception out (an amount too large to multiply included), a refused edit that
// leaves the row or the database changed, and an accepted one stored other than
// the row shows.
TEST_P(OddInputTest, DispatchedGoodsCells) {
    db().exec(
        u"INSERT INTO DispatchList (DLID, cDLCode, cVouchType, cBusType, dDate, cDepCode, cCusCode, cMaker) "
        "VALUES (1, 'FH1', '05', '分期收款', ?, '0401', 'C001', '孙丽')"_s,
        {QDate(2025, 12, 10)});
    db().exec(
        u"INSERT INTO DispatchLists (AutoID, iDLsID, DLID, cWhCode, cInvCode, iQuantity) "
        "VALUES (11, 11, 1, '02', '1101', 10)"_s);
    open();
    dispatchedEntry =
        std::make_unique<dispatched::DispatchedEntry>(ctx, dispatched::BusinessType::Instalment);
    dispatched::DispatchedEntry& e = *dispatchedEntry;
    e.Load();
    ASSERT_TRUE(e.Fetch()) << sink.last().toStdString();
    e.Refresh(dispatched::dispatchedQuery(ctx, dispatched::BusinessType::Instalment, {{u"02"_s}}));
    ASSERT_EQ(e.grid().dataRowCount(), 1);
    namespace DCol = dispatched::DCol;
    const qint64 id = e.grid().text(0, DCol::AutoId).toLongLong();
    const auto storedFigures = [&] {
        QSqlQuery q = db().exec(
            u"SELECT cOutHead, iAInPrice, iAOutPrice, iInCost FROM IA_EnSubsidiary WHERE AutoID = ?"_s, {id});
        EXPECT_TRUE(q.next());
        return QStringList{textOf(q.value(0)), Decimal::fromVariant(q.value(1)).toString(2),
                           Decimal::fromVariant(q.value(2)).toString(2),
                           Decimal::fromVariant(q.value(3)).toString(2)};
    };
    const auto shownFigures = [&] {
        const auto n = [&](int col) {
            return Decimal::fromText(e.grid().text(0, col).remove(u',')).toString(2);
        };
        return QStringList{e.grid().text(0, DCol::OutHead), n(DCol::OpenAmount), n(DCol::OutAmount),
                           n(DCol::UnitPrice)};
    };
    for (const int col :
         {DCol::OutAmount, DCol::SettledAmount, DCol::UnitPrice, DCol::OpenAmount, DCol::OutHead}) {
        SCOPED_TRACE("column " + e.grid().caption(col).toStdString());
        // The account as it stands before each input: taken again after an accepted edit.
        test::DatabaseDump before = dump();
        for (const QString& input : test::oddInputs()) {
            SCOPED_TRACE(test::describeInput(input));
            const QStringList rowBefore = e.grid().dataRow(0);
            sink.clear();
            QString value = input;
            bool cancel = true;
            if (!noEscape([&] { e.ValidateAndStore(value, cancel, 0, col); }, "ValidateAndStore")) {
                for (int c = 0; c < DCol::Count; ++c) e.grid().setText(0, c, rowBefore.at(c));
                before = dump();
                continue;
            }
            if (cancel) {
                EXPECT_TRUE(anyRefusalSaid());
                expectClearMessages(input);
                EXPECT_EQ(e.grid().dataRow(0), rowBefore);
                expectSameDump(before, "after a refused edit");
                continue;
            }
            EXPECT_FALSE(anyRefusalSaid()) << sink.texts().join(u' ').toStdString();
            if (col == DCol::OutHead) {
                EXPECT_TRUE(input.trimmed().isEmpty() ||
                            db().scalar(u"SELECT COUNT(*) FROM code WHERE cCode = ? AND bEnd = 1"_s, {value})
                                    .toInt() == 1);
            } else if (!input.trimmed().isEmpty()) {
                const std::optional<Decimal> n = Decimal::parse(input.trimmed());
                ASSERT_TRUE(n) << "no number, accepted as " << value.toStdString();
                EXPECT_EQ(Decimal::parse(value), n->round(2));
            }
            EXPECT_EQ(storedFigures(), shownFigures());
            before = dump();
        }
    }
}

// Catches: an imported cell that crashes the check or lets an exception out, a
// problem in other words than typing the same cell gets, a day number that is no
// date taken as no date at all, a file with problems storing anything, and an
// accepted cell stored other than typing stores it.
TEST_P(OddInputTest, EveryImportedColumn) {
    open();
    pick(u"02"_s);
    // The dearest item first: its figures reach the limits of a decimal soonest.
    const QStringList cells = templateRow({u"1001"_s, u"1101"_s});
    ASSERT_FALSE(cells.isEmpty());
    const QString item = cells.at(Col::InvCode);
    const QString itemCaption = grid().caption(Col::InvCode), quantityCaption = grid().caption(Col::Quantity);
    QStringList captions = entry->importCaptions();
    ASSERT_TRUE(captions.contains(itemCaption));
    captions << u"仓库"_s;
    const test::DatabaseDump before = dump();
    const QList<QString>& inputs = test::oddInputs();
    int compared = 0;
    for (const QString& caption : captions) {
        SCOPED_TRACE("column " + caption.toStdString());
        const int col = static_cast<int>(grid().captions().indexOf(caption));
        QStringList sheetCaptions{itemCaption, quantityCaption};
        if (caption != itemCaption && caption != quantityCaption) sheetCaptions << caption;
        const int at = static_cast<int>(sheetCaptions.indexOf(caption));
        QList<QStringList> rows;
        for (const QString& input : inputs) {
            QStringList r{item, u"2"_s, {}};
            r.resize(sheetCaptions.size());
            r[at] = input;
            rows << r;
        }
        sink.clear();
        const qint64 eventsBefore = events();
        opening::ImportRequest check;
        check.dryRun = true;
        check.overwrite = false;
        opening::ImportOutcome out;
        if (!noEscape([&] { out = entry->ImportSheet(test::sheetOf(sheetCaptions, rows), check); },
                      "ImportSheet"))
            continue;
        ASSERT_TRUE(out.status == Status::Problems || out.status == Status::Checked)
            << out.message.toStdString();
        QHash<int, QStringList> problemsOf;  // line -> messages
        for (const opening::ImportProblem& p : out.problems) {
            problemsOf[p.line] << p.message;
            EXPECT_TRUE(test::isClearMessage(p.message, p.text))
                << "line " << p.line << ": " << p.message.toStdString();
        }
        expectSameDump(before, "after checking the file");
        EXPECT_EQ(events(), eventsBefore) << "a check only wrote an event";

        // Typing the same cell says the same; the lines without problems are stored
        // as typing stores them.
        QList<QStringList> good;
        QList<int> goodInputs;
        for (int i = 0; i < inputs.size(); ++i) {
            const QString& input = inputs.at(i);
            SCOPED_TRACE(test::describeInput(input));
            const QStringList said = problemsOf.value(i + 2);
            const bool dayNumber =
                col >= 0 &&
                (col == Col::VouDate || opening::openingColumns().at(col).kind == grid::ColumnKind::Date) &&
                QRegularExpression(u"^[0-9]{1,7}(\\.[0-9]+)?$"_s).match(input.trimmed()).hasMatch();
            if (dayNumber) {
                // A spreadsheet's day number: a date when it is one, refused when it is not.
                const QDate d = excelSerialDate(input.trimmed().toDouble(), false);
                if (!d.isValid()) {
                    EXPECT_FALSE(said.isEmpty()) << "a day number that is no date accepted";
                }
            } else if (col >= 0) {
                std::map<int, QString> line{{Col::InvCode, rows.at(i).at(0)},
                                            {Col::Quantity, rows.at(i).at(1)}};
                line[col] = input;
                const Typed t = typeLine(line, input);
                if (t.stored) removeStored({t.id});
                ++compared;
                EXPECT_EQ(said.isEmpty(), t.stored) << "typing says " << t.messages.join(u' ').toStdString()
                                                    << "; the import " << said.join(u' ').toStdString();
                // A refused cell in the words typing it gets (the checks of a whole
                // row may come in another order). A line without its item is refused
                // by the row check: a file's blank item cell is not typed at all.
                if (col == Col::InvCode && input.trimmed().isEmpty()) {
                    EXPECT_EQ(said, QStringList{u"存货不能为空！"_s});
                } else if (!t.accepted) {
                    EXPECT_EQ(said.join(u' '), t.messages.join(u' '));
                }
            } else if (said.isEmpty()) {
                EXPECT_TRUE(input.trimmed().isEmpty() || input.trimmed() == u"02");
            }
            if (said.isEmpty()) {
                good << rows.at(i);
                goodInputs << i;
            }
        }
        if (good.isEmpty()) continue;
        const qint64 last = db().scalar(u"SELECT COALESCE(MAX(AutoID), 0) FROM IA_Subsidiary"_s).toLongLong();
        const qint64 eventsBeforeStore = events();
        opening::ImportRequest store;
        store.overwrite = false;
        sink.clear();
        if (!noEscape([&] { out = entry->ImportSheet(test::sheetOf(sheetCaptions, good), store); },
                      "ImportSheet"))
            continue;
        ASSERT_EQ(out.status, Status::Stored) << out.message.toStdString();
        EXPECT_EQ(events(), eventsBeforeStore + 1) << "an import is one event";
        QList<qint64> ids;
        QSqlQuery q =
            db().exec(u"SELECT AutoID FROM IA_Subsidiary WHERE AutoID > ? ORDER BY AutoID"_s, {last});
        while (q.next()) ids << q.value(0).toLongLong();
        q.finish();
        ASSERT_EQ(ids.size(), good.size());
        if (col >= 0 && col != Col::InvCode && col != Col::Quantity)
            for (int k = 0; k < ids.size(); ++k) {
                const QString& input = inputs.at(goodInputs.at(k));
                SCOPED_TRACE(test::describeInput(input));
                const QString source = opening::openingColumns().at(col).source;
                if (!source.startsWith(u"IA_Subsidiary."_s, Qt::CaseInsensitive) || input.trimmed().isEmpty())
                    continue;
                // As typing leaves the same cell.
                QStringList row = cells;
                const int r = grid().addEmptyRow();
                for (int c = 0; c < row.size(); ++c)
                    if (!row.at(c).isEmpty()) grid().setText(r, c, row.at(c));
                QString value = input;
                bool cancel = true;
                entry->ValidateCell(value, cancel, r, col);
                grid().removeDataRow(r);
                if (cancel) continue;  // a day number, taken as a date by the import only
                expectStoredAsShown(ids.at(k), col, value);
            }
        removeStored(ids);
        entry->LoadRows(u"02"_s);
        expectSameDump(before, "after the stored lines were taken out");
    }
    RecordProperty("compared", compared);
}

QC_DB_SUITE(OddInputTest);

}  // namespace
}  // namespace qc
