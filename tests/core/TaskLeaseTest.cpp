// The lease of an exclusive function task: held while it lives, left on every way
// out of its scope, and refused with the operator's messages.

#include "host/TaskLease.h"
#include "host/Users.h"
#include "host/VqLogin.h"
#include "platform/Schema.h"
#include "support/TestDb.h"

#include <optional>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

const QString kTask = u"ASM310103"_s;

class TaskLeaseTest : public test::DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        qputenv("QC_FAST_HASH", "1");
        createSchema(db());
        db().exec(
            u"INSERT INTO UA_Account (cAcc_Id, cAcc_Name, iYear, cUnitName) VALUES ('001', 'a', 2026, 'u')"_s);
        Users::createUser(db(), u"keeper"_s, u"保管员"_s, u"pw"_s, false);
        Users::grantFunction(db(), u"keeper"_s, u"ASM31"_s);
        Users::createUser(db(), u"viewer"_s, u"查询员"_s, u"pw"_s, false);
    }
    std::unique_ptr<VqLogin> login(const QString& user) {
        QString err;
        auto l = VqLogin::login({conn(), u"001"_s, 2026, user, u"pw"_s, QDate(2026, 1, 1), {}}, &err);
        EXPECT_TRUE(l) << err.toStdString();
        return l;
    }
    // Whether another copy could enter the task now.
    bool freeForOthers() {
        auto other = login(u"keeper"_s);
        const bool free = other->TaskExec(kTask, -1);
        if (free) other->TaskExec(kTask, 0);
        return free;
    }
};

// Catches: a task left behind when the scope is left by an exception or by
// moving the lease on, a second copy let in while the lease lives, and refusals
// without the operator's messages.
TEST_P(TaskLeaseTest, HeldWhileAliveAndLeftOnEveryWayOut) {
    auto keeper = login(u"keeper"_s);
    {
        const TaskLease lease(keeper.get(), kTask);
        ASSERT_TRUE(lease.held());
        EXPECT_FALSE(freeForOthers());
        auto second = login(u"keeper"_s);
        const TaskLease refused(second.get(), kTask);
        EXPECT_EQ(refused.outcome(), TaskLease::Outcome::Conflict);
        EXPECT_TRUE(refused.refusal().startsWith(u"功能互斥：\n"_s)) << refused.refusal().toStdString();
    }
    EXPECT_TRUE(freeForOthers());

    try {
        const TaskLease lease(keeper.get(), kTask);
        throw std::runtime_error("the work failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(freeForOthers());

    std::optional<TaskLease> kept;
    {
        TaskLease lease(keeper.get(), kTask);
        kept.emplace(std::move(lease));
    }
    EXPECT_TRUE(kept->held());
    EXPECT_FALSE(freeForOthers());
    kept->release();
    EXPECT_FALSE(kept->held());
    EXPECT_TRUE(freeForOthers());

    auto viewer = login(u"viewer"_s);
    const TaskLease noRight(viewer.get(), kTask);
    EXPECT_EQ(noRight.outcome(), TaskLease::Outcome::NoRight);
    EXPECT_EQ(noRight.refusal(), u"您没有这个权限！"_s);
    EXPECT_TRUE(freeForOthers());
}

QC_DB_SUITE(TaskLeaseTest);

}  // namespace
}  // namespace qc
