// Several desks, each with its own login, session and entry window, storing the
// same opening row at the same moment, round after round: one store per round
// goes through, every other desk is told the row changed and shown what is now
// stored, and nothing one desk stored is overwritten unseen by another.

#include "support/OpeningFixture.h"

#include <QTemporaryDir>

#include <barrier>
#include <thread>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

const QString kChanged = u"该行已被其他用户修改！现在显示的是修改后的数据，请重新录入您的修改。"_s;

// One desk: the same operator on another machine, its window's rules in a thread
// of their own, on a connection of its own.
struct Desk {
    LoginContext ctx;
    RecordingSink sink;
    test::ScriptedEntryPickers pickers;
    test::ScriptedEntryWindow window;
    QTemporaryDir scratch;
    std::unique_ptr<VqLogin> login;
    std::unique_ptr<opening::OpeningEntry> entry;

    ~Desk() {
        entry.reset();
        closeContext(ctx);
    }
    QString open(const QString& connection) {
        QString err;
        login = VqLogin::login({connection, u"001"_s, 2026, u"demo"_s, u"demo123"_s, QDate(2026, 1, 1), {}},
                               &err);
        if (!login) return err;
        ctx.sink = &sink;
        ctx.scratchFolder = scratch.path();
        openContext(ctx, *login, false, ConnectionMode::Reconnect);
        entry = std::make_unique<opening::OpeningEntry>(ctx, pickers, window);
        entry->Load();
        return {};
    }
    // Shows the warehouse again and types `quantity` over the row; false when the
    // row is not there or the cell refuses the figure.
    std::optional<int> typeQuantity(qint64 autoId, const QString& quantity) {
        for (const QString& item : entry->warehouseItems())
            if (item.left(15).trimmed() == u"02") entry->WarehouseClick(item);
        grid::GridModel& grid = entry->grid();
        for (int r = 0; r < grid.dataRowCount(); ++r) {
            if (grid.text(r, Col::AutoId) != QString::number(autoId)) continue;
            QString value = quantity;
            bool cancel = false;
            entry->ValidateCell(value, cancel, r, Col::Quantity);
            if (cancel) return std::nullopt;
            grid.setText(r, Col::Quantity, value);
            return r;
        }
        return std::nullopt;
    }
};

class ConcurrentStoresTest : public test::OpeningFixture {};

// Catches: a lost update between copies storing at the same moment (the check of
// what is stored and the write not in one locked unit, so that two copies both
// find the row as they showed it and the second silently overwrites the first),
// a store refused in the database's words (a lock not given, a deadlock), and a
// refused desk left showing its own figure instead of the stored one.
TEST_P(ConcurrentStoresTest, OneStorePerRoundAndTheOthersAreToldTheRowChanged) {
    constexpr int kDesks = 6;
    constexpr int kRounds = 8;
    open();
    pick(u"02"_s);
    const qint64 id = grid().text(0, Col::AutoId).toLongLong();
    ASSERT_GT(id, 0);
    close();

    struct Outcome {
        bool stored = false;
        QStringList said;
        QString shownAfter;  // the quantity the desk shows once its store ended
    };
    std::vector<std::vector<Outcome>> outcomes(kRounds, std::vector<Outcome>(kDesks));
    std::vector<QString> failures(kDesks);
    std::barrier sync(kDesks);
    std::vector<std::thread> desks;
    for (int d = 0; d < kDesks; ++d)
        desks.emplace_back([&, d] {
            Desk desk;
            QString failure = desk.open(conn());
            for (int round = 0; round < kRounds; ++round) {
                // Every desk shows the row as the last round left it, then all
                // store their own figure at once.
                sync.arrive_and_wait();
                std::optional<int> row;
                if (failure.isEmpty()) {
                    row = desk.typeQuantity(id, QString::number(100 * (round + 1) + d));
                    if (!row)
                        failure = u"round %1: the row or its figure: %2"_s.arg(round).arg(desk.sink.last());
                }
                desk.sink.clear();
                sync.arrive_and_wait();
                if (!row) continue;
                Outcome& out = outcomes[static_cast<size_t>(round)][static_cast<size_t>(d)];
                bool cancel = false;
                desk.entry->ValidateAndStoreRow(cancel, *row);
                out.stored = !cancel;
                out.said = desk.sink.texts();
                out.shownAfter = desk.entry->grid().text(*row, Col::Quantity);
            }
            failures[static_cast<size_t>(d)] = failure;
        });
    for (std::thread& t : desks) t.join();
    for (int d = 0; d < kDesks; ++d)
        ASSERT_EQ(failures.at(static_cast<size_t>(d)), QString()) << "desk " << d;

    QString last;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto& desksOf = outcomes.at(static_cast<size_t>(round));
        int stored = 0;
        QString winner;
        for (int d = 0; d < kDesks; ++d)
            if (desksOf.at(static_cast<size_t>(d)).stored) {
                ++stored;
                winner = QString::number(100 * (round + 1) + d);
            }
        ASSERT_EQ(stored, 1);
        for (int d = 0; d < kDesks; ++d) {
            const Outcome& out = desksOf.at(static_cast<size_t>(d));
            if (out.stored) {
                EXPECT_EQ(out.said, QStringList()) << "desk " << d;
                continue;
            }
            EXPECT_EQ(out.said, QStringList{kChanged}) << "desk " << d;
            // The refused desk now shows the figure that was stored.
            EXPECT_EQ(Decimal::fromText(out.shownAfter), Decimal::fromText(winner)) << "desk " << d;
        }
        last = winner;
    }
    EXPECT_EQ(storedNumber(id, u"iAInQuantity"_s), Decimal::fromText(last));
    // One change of the row in the trail per round: the stores that happened.
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM IA_AuditLog WHERE iRowID = ? AND cOperation = ?"_s,
                          {id, u"修改期初行"_s})
                  .toLongLong(),
              kRounds);
}

QC_DB_SUITE(ConcurrentStoresTest);

}  // namespace
}  // namespace qc
