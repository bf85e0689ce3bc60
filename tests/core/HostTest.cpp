#include "host/AccPara.h"
#include "host/Crypto.h"
#include "host/HostDb.h"
#include "host/LoginThrottle.h"
#include "host/TaskLease.h"
#include "host/Tasks.h"
#include "host/Users.h"
#include "host/VqLogin.h"
#include "host/YrCommon.h"
#include "platform/Database.h"
#include "platform/Dialect.h"
#include "platform/Schema.h"
#include "support/TestDb.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <string>
#include <thread>

namespace qc::test {
namespace {

const QString kAcc = QStringLiteral("001");
constexpr int kYear = 2026;

class HostTest : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        qputenv("QC_FAST_HASH", "1");
        createSchema(db());
        db().exec(QStringLiteral(
                      "INSERT INTO UA_Account (cAcc_Id, cAcc_Name, iYear, cUnitName) VALUES (?, ?, ?, ?)"),
                  {kAcc, QStringLiteral("演示账套"), kYear, QStringLiteral("演示公司")});
        Users::createUser(db(), QStringLiteral("demo"), QStringLiteral("张会计"), QStringLiteral("pw'1"),
                          false);
        Users::grantFunction(db(), QStringLiteral("demo"), QStringLiteral("ASM31"));
    }

    LoginRequest request(const QString& user, const QString& password, const QString& acc = kAcc,
                         int year = kYear) {
        LoginRequest r;
        r.connectionString = conn();
        r.accountId = acc;
        r.accountYear = year;
        r.userId = user;
        r.password = password;
        r.loginDate = QDate(year, 1, 1);
        return r;
    }
    std::unique_ptr<VqLogin> login(const QString& user, const QString& password, const QString& acc = kAcc,
                                   int year = kYear, QString* error = nullptr) {
        QString e;
        auto l = VqLogin::login(request(user, password, acc, year), &e);
        if (error) *error = e;
        return l;
    }
    std::unique_ptr<VqLogin> demo() {
        QString e;
        auto l = login(QStringLiteral("demo"), QStringLiteral("pw'1"), kAcc, kYear, &e);
        EXPECT_TRUE(l) << e.toStdString();
        return l;
    }
    qint64 count(const QString& sql, const QVariantList& binds = {}) {
        return db().scalar(sql, binds).toLongLong();
    }
    QStringList column(const QString& sql, const QVariantList& binds = {}) {
        QStringList out;
        QSqlQuery q = db().exec(sql, binds);
        while (q.next()) out << q.value(0).toString();
        return out;
    }
};

// Catches: a refusal that tells which part was wrong (an unknown operator or
// account answered differently from a wrong password), passwords kept as text,
// and a database that cannot be opened reported as a wrong password.
TEST_P(HostTest, LoginRefusesEveryWrongPartAlikeAndKeepsNoPlainPassword) {
    QString wrongPw, unknownUser, unknownAcc, wrongYear, ok;
    EXPECT_FALSE(login(QStringLiteral("demo"), QStringLiteral("pw"), kAcc, kYear, &wrongPw));
    EXPECT_FALSE(login(QStringLiteral("nobody"), QStringLiteral("pw'1"), kAcc, kYear, &unknownUser));
    EXPECT_FALSE(
        login(QStringLiteral("demo"), QStringLiteral("pw'1"), QStringLiteral("999"), kYear, &unknownAcc));
    EXPECT_FALSE(login(QStringLiteral("demo"), QStringLiteral("pw'1"), kAcc, kYear + 1, &wrongYear));
    EXPECT_FALSE(wrongPw.isEmpty());
    EXPECT_EQ(unknownUser, wrongPw);
    EXPECT_EQ(unknownAcc, wrongPw);
    EXPECT_EQ(wrongYear, wrongPw);

    auto l = login(QStringLiteral("demo"), QStringLiteral("pw'1"), kAcc, kYear, &ok);
    ASSERT_TRUE(l) << ok.toStdString();
    EXPECT_EQ(l->UserName(), QStringLiteral("张会计"));
    EXPECT_EQ(l->AccountYear(), QStringLiteral("2026"));

    // A later year opens once its periods are set up.
    db().exec(QStringLiteral("INSERT INTO UA_Period (cAcc_Id, iYear, iId) VALUES (?, ?, 1)"),
              {kAcc, kYear + 1});
    EXPECT_TRUE(login(QStringLiteral("demo"), QStringLiteral("pw'1"), kAcc, kYear + 1));
    EXPECT_TRUE(l->PeriodState(201, kYear + 1));
    EXPECT_FALSE(l->PeriodState(201, kYear + 2));

    const QString stored =
        db().scalar(QStringLiteral("SELECT cPassword FROM qc_user WHERE cUserId = 'demo'")).toString();
    EXPECT_FALSE(stored.contains(QStringLiteral("pw'1")));
    EXPECT_TRUE(stored.startsWith(QStringLiteral("$argon2")));

    LoginRequest bad;
    bad.connectionString = folder() + QStringLiteral("/no/such/dir/account.db");
    bad.accountId = kAcc;
    bad.accountYear = kYear;
    bad.userId = QStringLiteral("demo");
    bad.password = QStringLiteral("pw'1");
    QString badError;
    EXPECT_FALSE(VqLogin::login(bad, &badError));
    EXPECT_FALSE(badError.isEmpty());
    EXPECT_NE(badError, wrongPw);
}

// Catches: refusals in a row that never slow a name down, a wait the right
// password gets past, a wait that tells known names from unknown ones, a success
// that does not start the count again, a schedule that does not grow or has no
// cap, and an older account without the count's table refusing every login.
TEST_P(HostTest, RefusalsInARowMakeTheNameWaitUntilItsTimeHasCome) {
    const QString right = QStringLiteral("pw'1");
    const QString refused = QStringLiteral("账套、年度、操作员或密码不正确，请重新输入。");
    // Moves the name's next allowed attempt into the past, as if the wait were over
    // (or, given a negative number of seconds, further away).
    auto waitOver = [&](const QString& user, int seconds = 100000) {
        db().exec(QStringLiteral("UPDATE qc_login_fail SET iNextTry = iNextTry - ? WHERE cUserId = ?"),
                  {seconds, user});
    };
    auto refusal = [&](const QString& user, const QString& password) {
        QString e;
        EXPECT_FALSE(login(user, password, kAcc, kYear, &e)) << user.toStdString();
        return e;
    };

    db().exec(QStringLiteral("DROP TABLE qc_login_fail"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(refusal(QStringLiteral("demo"), QStringLiteral("x")), refused);
    EXPECT_TRUE(login(QStringLiteral("demo"), right)) << "a few slips in a row do not block";
    EXPECT_TRUE(db().tableExists(QStringLiteral("qc_login_fail")));

    for (const QString& user : {QStringLiteral("demo"), QStringLiteral("nobody")}) {
        SCOPED_TRACE(user.toStdString());
        for (int i = 0; i < 3; ++i) EXPECT_EQ(refusal(user, QStringLiteral("x")), refused);
        const QString fourth = refusal(user, QStringLiteral("x"));
        EXPECT_TRUE(fourth.startsWith(refused) && fourth.contains(QStringLiteral("1 秒后")))
            << fourth.toStdString();
        // While it waits even the right password is refused, unchecked and uncounted
        // (the wait is lengthened first, so that a slow machine cannot outlast it).
        waitOver(user, -100);
        const crypto::WorkCount before = crypto::workCount();
        const QString waiting = refusal(user, right);
        EXPECT_TRUE(waiting.startsWith(refused) && waiting.contains(QStringLiteral("秒后")))
            << waiting.toStdString();
        EXPECT_EQ(crypto::workCount().verifications, before.verifications);
        EXPECT_EQ(count(QStringLiteral("SELECT iFailures FROM qc_login_fail WHERE cUserId = ?"), {user}), 4);
    }
    waitOver(QStringLiteral("demo"));
    EXPECT_TRUE(login(QStringLiteral("demo"), right));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM qc_login_fail WHERE cUserId = 'demo'")), 0);

    // Each further refusal doubles the wait, by the database's clock, up to the cap.
    const QString wait = QStringLiteral("SELECT iNextTry - %1 FROM qc_login_fail WHERE cUserId = 'nobody'")
                             .arg(db().dialect().nowEpoch());
    qint64 previous = 1;
    for (int failures = 5; failures <= 16; ++failures) {
        waitOver(QStringLiteral("nobody"));
        refusal(QStringLiteral("nobody"), QStringLiteral("x"));
        const qint64 left = count(wait);
        const qint64 expected = std::min<qint64>(previous * 2, LoginThrottle::kMaxDelaySeconds);
        EXPECT_TRUE(left <= expected && left >= expected - 2) << failures << ": " << left;
        previous = expected;
    }
    EXPECT_EQ(LoginThrottle::kMaxDelaySeconds, 15 * 60);
}

// Catches: logins of one name at once counted as refusals while they are still
// being checked, so that the fourth desk to log in with the right password is
// told to wait.
TEST_P(HostTest, TheRightPasswordAtSeveralDesksAtOnceLetsEveryDeskIn) {
    constexpr int kDesks = 12;
    std::vector<QString> said(kDesks);
    std::vector<std::thread> desks;
    std::atomic<int> ready{0};
    for (int i = 0; i < kDesks; ++i)
        desks.emplace_back([&, i] {
            ++ready;
            while (ready.load() < kDesks) std::this_thread::yield();
            QString e;
            const auto l = VqLogin::login(request(QStringLiteral("demo"), QStringLiteral("pw'1")), &e);
            said[static_cast<size_t>(i)] = l ? QStringLiteral("ok") : e;
        });
    for (std::thread& t : desks) t.join();
    for (const QString& s : said) EXPECT_EQ(s, QStringLiteral("ok"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM qc_login_fail WHERE cUserId = 'demo'")), 0);
}

// Catches: an unknown operator refused with different work than a wrong password
// (the stand-in hash made on first use, or with other limits), which tells the
// names that exist by the time a refusal takes.
TEST_P(HostTest, AnUnknownNameCostsWhatAWrongPasswordCosts) {
    auto workOf = [&](const QString& user) {
        const crypto::WorkCount before = crypto::workCount();
        EXPECT_FALSE(login(user, QStringLiteral("guess")));
        const crypto::WorkCount after = crypto::workCount();
        return std::pair{after.hashes - before.hashes, after.verifications - before.verifications};
    };
    EXPECT_EQ(workOf(QStringLiteral("nobody")), std::pair(qint64{0}, qint64{1}));
    EXPECT_EQ(workOf(QStringLiteral("demo")), std::pair(qint64{0}, qint64{1}));

    // "$argon2id$v=19$m=…,t=…,p=…": the algorithm and limits before the salt.
    auto limitsOf = [](const QString& hash) { return hash.section(u'$', 0, 3); };
    for (const char* fast : {"1", ""}) {
        qputenv("QC_FAST_HASH", fast);
        EXPECT_EQ(limitsOf(crypto::standInHash()), limitsOf(crypto::hashPassword(QStringLiteral("p"))))
            << "QC_FAST_HASH=" << fast;
    }
    qputenv("QC_FAST_HASH", "1");
}

// Catches: a database that fails a task claim reported as a task conflict, and a
// read-only database answered as a wrong password instead of being named.
TEST_P(HostTest, AFailingOrReadOnlyDatabaseIsNamedAsTheCause) {
    {
        auto l = demo();
        ASSERT_TRUE(l);
        db().exec(QStringLiteral("DROP TABLE qc_task"));
        const TaskLease lease(l.get(), QStringLiteral("ASM3102"));
        EXPECT_FALSE(lease.held());
        EXPECT_FALSE(lease.refusal().startsWith(QStringLiteral("功能互斥"))) << lease.refusal().toStdString();
        EXPECT_TRUE(lease.refusal().contains(QStringLiteral("qc_task"))) << lease.refusal().toStdString();
    }

    LoginRequest r = request(QStringLiteral("demo"), QStringLiteral("pw'1"));
    if (GetParam() == "sqlite") {
        // A file format write version above 2 makes SQLite open the file read-only
        // for everyone, root included.
        db().exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        QFile file(conn());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(18));
        ASSERT_EQ(file.write("\x03", 1), 1);
        file.close();
    } else {
        QUrl url(conn());
        QUrlQuery query(url);
        const QString options = query.queryItemValue(QStringLiteral("options"), QUrl::FullyDecoded);
        query.removeQueryItem(QStringLiteral("options"));
        query.addQueryItem(QStringLiteral("options"),
                           QStringLiteral("'%1 -cdefault_transaction_read_only=on'").arg(options));
        url.setQuery(query);
        r.connectionString = url.toString();
    }
    QString error;
    EXPECT_FALSE(VqLogin::login(r, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("只读"))) << error.toStdString();
}

// Catches: two running copies both entering the task, the holder not named, a
// copy leaving another's claim, the same copy refused its own task, and a closed
// copy keeping its claims.
TEST_P(HostTest, SecondCopyIsRefusedWithTheHolderNamedUntilTheFirstLeaves) {
    auto first = demo();
    auto second = demo();
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(first->TaskExec(QStringLiteral("ASM3102"), -1));
    EXPECT_TRUE(first->TaskExec(QStringLiteral("ASM3102"), -1)) << "re-entering its own task";

    EXPECT_FALSE(second->TaskExec(QStringLiteral("ASM3102"), -1));
    const QString msg = second->TaskMessage();
    EXPECT_TRUE(msg.contains(QStringLiteral("demo")) && msg.contains(QStringLiteral("张会计")) &&
                msg.contains(QSysInfo::machineHostName()) && msg.contains(QStringLiteral("ASM3102")))
        << msg.toStdString();
    // Another function is free, and leaving a task one does not hold changes nothing.
    EXPECT_TRUE(second->TaskExec(QStringLiteral("ASM3101"), -1));
    EXPECT_TRUE(second->TaskExec(QStringLiteral("ASM3102"), 0));
    EXPECT_FALSE(second->TaskExec(QStringLiteral("ASM3102"), -1));

    EXPECT_TRUE(first->TaskExec(QStringLiteral("ASM3102"), 0));
    EXPECT_TRUE(second->TaskExec(QStringLiteral("ASM3102"), -1));
    EXPECT_FALSE(first->TaskExec(QStringLiteral("ASM3101"), -1));

    second.reset();  // closing a copy releases all it held
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM qc_task")), 0);
    EXPECT_TRUE(first->TaskExec(QStringLiteral("ASM3101"), -1));
    EXPECT_TRUE(first->TaskExec(QStringLiteral("ASM3102"), -1));
}

// Catches: a crashed holder's claim blocking the task for ever, and the opposite
// fault, a live holder losing its claim because its heartbeat is old.
TEST_P(HostTest, StaleClaimsAreReleasedButLiveHoldersKeepTheirs) {
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());

    const QString here = QSysInfo::machineHostName();
    const qint64 ownPid = QCoreApplication::applicationPid();
    struct Case {
        const char* what;
        QString host;
        qint64 pid;
        int ageSeconds;
        bool released;
    };
    const Case cases[] = {
        {"elsewhere, heartbeat long stopped", QStringLiteral("pc-elsewhere"), 4242,
         TaskRegistry::kExpirySeconds + 60, true},
        {"elsewhere, heartbeat fresh", QStringLiteral("pc-elsewhere"), 4242, 0, false},
        {"elsewhere, heartbeat just inside the limit", QStringLiteral("pc-elsewhere"), 4242,
         TaskRegistry::kExpirySeconds - 30, false},
        {"this machine, process gone", here, deadPid, 0, true},
        {"this machine, process running, heartbeat old", here, ownPid, TaskRegistry::kExpirySeconds + 60,
         false},
    };
    auto holder = demo();
    auto asker = demo();
    ASSERT_TRUE(holder && asker);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        holder->TaskExec(QStringLiteral("ASM3102"), 0);
        asker->TaskExec(QStringLiteral("ASM3102"), 0);
        ASSERT_TRUE(holder->TaskExec(QStringLiteral("ASM3102"), -1));
        db().exec(QStringLiteral("UPDATE qc_task SET cHost = ?, iPid = ?, iHeartbeat = iHeartbeat - ?"),
                  {c.host, c.pid, c.ageSeconds});
        EXPECT_EQ(asker->TaskExec(QStringLiteral("ASM3102"), -1), c.released)
            << asker->TaskMessage().toStdString();
    }

    // A heartbeat keeps a claim from elsewhere alive.
    asker->TaskExec(QStringLiteral("ASM3102"), 0);
    ASSERT_TRUE(holder->TaskExec(QStringLiteral("ASM3102"), -1));
    db().exec(QStringLiteral("UPDATE qc_task SET cHost = 'pc-elsewhere', iHeartbeat = iHeartbeat - ?"),
              {TaskRegistry::kExpirySeconds + 60});
    holder->heartbeat();
    EXPECT_FALSE(asker->TaskExec(QStringLiteral("ASM3102"), -1));
}

// Catches: a function right that is not a prefix match (or a LIKE pattern), a task
// entered without the right, and an operator with all rights refused.
TEST_P(HostTest, FunctionRightsCoverTheirPrefixOnly) {
    Users::createUser(db(), QStringLiteral("boss"), QStringLiteral("王主管"), QStringLiteral("b"), true);
    Users::createUser(db(), QStringLiteral("clerk"), QStringLiteral("李出纳"), QStringLiteral("c"), false);
    Users::grantFunction(db(), QStringLiteral("clerk"), QStringLiteral("IA_1"));
    auto d = demo();
    auto clerk = login(QStringLiteral("clerk"), QStringLiteral("c"));
    auto boss = login(QStringLiteral("boss"), QStringLiteral("b"));
    ASSERT_TRUE(d && clerk && boss);

    EXPECT_TRUE(d->TaskExec(QStringLiteral("ASM310103"), 1));
    EXPECT_TRUE(d->TaskExec(QStringLiteral("ASM31"), 1));
    EXPECT_FALSE(d->TaskExec(QStringLiteral("ASM3"), 1));
    EXPECT_FALSE(d->TaskExec(QStringLiteral("ASM32"), 1));
    EXPECT_TRUE(d->TaskMessage().contains(QStringLiteral("demo")) &&
                d->TaskMessage().contains(QStringLiteral("ASM32")));
    EXPECT_TRUE(clerk->TaskExec(QStringLiteral("IA_101"), 1));
    EXPECT_FALSE(clerk->TaskExec(QStringLiteral("IAX101"), 1)) << "'_' in a right is no wildcard";
    EXPECT_TRUE(boss->TaskExec(QStringLiteral("ZZ999"), 1));

    // Without the right the task is not entered: the right holder still gets it.
    EXPECT_FALSE(clerk->TaskExec(QStringLiteral("ASM3102"), -1));
    EXPECT_TRUE(boss->TaskExec(QStringLiteral("ASM3102"), -1));
    EXPECT_FALSE(d->TaskExec(QStringLiteral("ASM3102"), -1));
    EXPECT_TRUE(d->TaskMessage().contains(QStringLiteral("王主管")));
}

// Catches: a rights answer that is not usable inside IN (...) on either back end
// (inventory ids compared as text on PostgreSQL), "W" listing read-only grants,
// one operator's grants leaking to another, and restriction applied to an
// operator with all rights.
TEST_P(HostTest, RightsSqlInEveryStateWorksInsideIn) {
    for (const char* wh : {"01", "02", "0'3"})
        db().exec(QStringLiteral("INSERT INTO Warehouse (cWhCode, cWhName) VALUES (?, ?)"),
                  {QString::fromLatin1(wh), QStringLiteral("库")});
    for (int i = 1; i <= 3; ++i)
        db().exec(QStringLiteral("INSERT INTO Inventory (cInvCode, cInvName, iId) VALUES (?, ?, ?)"),
                  {QStringLiteral("A%1").arg(i), QStringLiteral("料"), i * 10});
    Users::createUser(db(), QStringLiteral("boss"), QStringLiteral("王主管"), QStringLiteral("b"), true);
    Users::createUser(db(), QStringLiteral("clerk"), QStringLiteral("李出纳"), QStringLiteral("c"), false);
    auto d = demo();
    ASSERT_TRUE(d);
    YrCommon common;
    common.login(*d);

    auto inList = [&](const QString& select, const SqlFragment& f) {
        QVariantList binds = f.binds;
        return column(select.arg(f.sql), binds);
    };
    const QString whSql =
        QStringLiteral("SELECT cWhCode FROM Warehouse WHERE cWhCode IN (%1) ORDER BY cWhCode");

    EXPECT_TRUE(common.GetRightsSql(QStringLiteral("Warehouse"), {}, {}).isEmpty()) << "not restricted";
    Users::restrict(db(), QStringLiteral("demo"), QStringLiteral("Warehouse"));
    EXPECT_EQ(common.GetRightsSql(QStringLiteral("Warehouse"), {}, {}).sql, QStringLiteral("Null"));

    Users::grantData(db(), QStringLiteral("demo"), QStringLiteral("Warehouse"), QStringLiteral("01"), false);
    Users::grantData(db(), QStringLiteral("demo"), QStringLiteral("Warehouse"), QStringLiteral("0'3"), true);
    Users::grantData(db(), QStringLiteral("clerk"), QStringLiteral("Warehouse"), QStringLiteral("02"), true);
    EXPECT_EQ(inList(whSql, common.GetRightsSql(QStringLiteral("Warehouse"), {}, {})),
              (QStringList{QStringLiteral("0'3"), QStringLiteral("01")}));
    EXPECT_EQ(inList(whSql, common.GetRightsSql(QStringLiteral("Warehouse"), {}, QStringLiteral("R"))),
              (QStringList{QStringLiteral("0'3"), QStringLiteral("01")}));
    EXPECT_EQ(inList(whSql, common.GetRightsSql(QStringLiteral("Warehouse"), {}, QStringLiteral("W"))),
              (QStringList{QStringLiteral("0'3")}));

    // Restricted with only read grants: nothing may be written.
    Users::restrict(db(), QStringLiteral("demo"), QStringLiteral("Department"));
    Users::grantData(db(), QStringLiteral("demo"), QStringLiteral("Department"), QStringLiteral("D1"), false);
    EXPECT_EQ(common.GetRightsSql(QStringLiteral("Department"), {}, QStringLiteral("W")).sql,
              QStringLiteral("Null"));

    Users::restrict(db(), QStringLiteral("demo"), QStringLiteral("Inventory"));
    Users::grantData(db(), QStringLiteral("demo"), QStringLiteral("Inventory"), QStringLiteral("20"), false);
    EXPECT_EQ(inList(QStringLiteral("SELECT cInvCode FROM Inventory WHERE iId IN (%1)"),
                     common.GetRightsSql(QStringLiteral("Inventory"), {}, {})),
              (QStringList{QStringLiteral("A2")}));
    EXPECT_THROW(Users::grantData(db(), QStringLiteral("demo"), QStringLiteral("Inventory"),
                                  QStringLiteral("A2"), false),
                 std::invalid_argument);

    Users::restrict(db(), QStringLiteral("demo"), QStringLiteral("User"));
    Users::grantData(db(), QStringLiteral("demo"), QStringLiteral("User"), QStringLiteral("clerk"), false);
    EXPECT_EQ(inList(QStringLiteral("SELECT cUserName FROM qc_user WHERE cUserName IN (%1)"),
                     common.GetRightsSql(QStringLiteral("User"), {}, QStringLiteral("R"))),
              (QStringList{QStringLiteral("李出纳")}));

    // The operator with all rights is never restricted, even with scope rows.
    Users::restrict(db(), QStringLiteral("boss"), QStringLiteral("Warehouse"));
    auto boss = login(QStringLiteral("boss"), QStringLiteral("b"));
    ASSERT_TRUE(boss);
    YrCommon bossCommon;
    bossCommon.login(*boss);
    EXPECT_TRUE(bossCommon.GetRightsSql(QStringLiteral("Warehouse"), {}, QStringLiteral("W")).isEmpty());
}

// Catches: HasRight answering for an unrestricted object as if restricted, the
// write right not checked, and inventory codes compared with the granted ids
// without going through Inventory.
TEST_P(HostTest, HasRightAndRightsSysId) {
    for (int i = 1; i <= 2; ++i)
        db().exec(QStringLiteral("INSERT INTO Inventory (cInvCode, cInvName, iId) VALUES (?, ?, ?)"),
                  {QStringLiteral("A%1").arg(i), QStringLiteral("料"), i * 10});
    auto d = demo();
    ASSERT_TRUE(d);
    YrCommon common;
    common.login(*d);
    EXPECT_TRUE(common.HasRight(QStringLiteral("warehouse"), QStringLiteral("99"), QStringLiteral("W"), {}));

    Users::restrict(db(), QStringLiteral("demo"), QStringLiteral("Warehouse"));
    Users::grantData(db(), QStringLiteral("demo"), QStringLiteral("Warehouse"), QStringLiteral("01"), false);
    EXPECT_TRUE(common.HasRight(QStringLiteral("warehouse"), QStringLiteral("01"), QStringLiteral("R"), {}));
    EXPECT_FALSE(common.HasRight(QStringLiteral("warehouse"), QStringLiteral("01"), QStringLiteral("W"), {}));
    EXPECT_FALSE(common.HasRight(QStringLiteral("warehouse"), QStringLiteral("02"), QStringLiteral("R"), {}));
    Users::grantData(db(), QStringLiteral("demo"), QStringLiteral("Warehouse"), QStringLiteral("01"), true);
    EXPECT_TRUE(common.HasRight(QStringLiteral("warehouse"), QStringLiteral("01"), QStringLiteral("W"), {}));

    Users::restrict(db(), QStringLiteral("demo"), QStringLiteral("Inventory"));
    Users::grantData(db(), QStringLiteral("demo"), QStringLiteral("Inventory"), QStringLiteral("20"), true);
    EXPECT_TRUE(common.HasRight(QStringLiteral("inventory"), QStringLiteral("A2"), QStringLiteral("W"), {}));
    EXPECT_FALSE(common.HasRight(QStringLiteral("inventory"), QStringLiteral("A1"), QStringLiteral("R"), {}));
    EXPECT_FALSE(common.HasRight(QStringLiteral("inventory"), QStringLiteral("20"), QStringLiteral("R"), {}));
    EXPECT_FALSE(common.HasRight(QStringLiteral("inventory"), QStringLiteral("ZZ"), QStringLiteral("R"), {}));

    EXPECT_EQ(common.RightsSysId(), QStringLiteral("IA"));
    db().exec(QStringLiteral("INSERT INTO qc_setting (cName, cValue) VALUES ('RightsSysId', 'ST')"));
    EXPECT_EQ(common.RightsSysId(), QStringLiteral("ST"));
}

// Catches: the default not used for an empty value, a posted flag stored twice or
// not cleared, the current period counted from the wrong flag column, and a
// subsystem id spliced into SQL.
TEST_P(HostTest, AccountParametersPeriodsAndPostedState) {
    HostDb hdb;
    hdb.Open(conn());
    AccPara para;
    para.setDatabase(hdb);
    db().exec(
        QStringLiteral("INSERT INTO AccInformation (cSysID, cName, cValue, cDefault) VALUES "
                       "('AA', 'iStrsQuanDecDgt', '', '2'), ('AA', 'iStrsPriDecDgt', NULL, '4'), "
                       "('IA', 'cValueStyle', '按仓库核算', 'x')"));
    EXPECT_EQ(para.GetParam(QStringLiteral("iStrsQuanDecDgt"), QStringLiteral("AA")), QStringLiteral("2"));
    EXPECT_EQ(para.GetParam(QStringLiteral("iStrsPriDecDgt"), QStringLiteral("AA")), QStringLiteral("4"));
    EXPECT_EQ(para.GetParam(QStringLiteral("cValueStyle"), QStringLiteral("IA")),
              QStringLiteral("按仓库核算"));
    EXPECT_EQ(para.GetParam(QStringLiteral("cValueStyle"), QStringLiteral("ST")), QString());

    EXPECT_FALSE(para.IsPosted(QStringLiteral("IA")));
    para.SetPosted(QStringLiteral("IA"), true);
    para.SetPosted(QStringLiteral("IA"), true);
    EXPECT_TRUE(para.IsPosted(QStringLiteral("IA")));
    EXPECT_FALSE(para.IsPosted(QStringLiteral("PU")));
    para.SetPosted(QStringLiteral("IA"), false);
    EXPECT_FALSE(para.IsPosted(QStringLiteral("IA")));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM AccInformation WHERE cName = 'bQCAccount'")), 1);
    db().exec(QStringLiteral("UPDATE AccInformation SET cValue = 'True' WHERE cName = 'bQCAccount'"));
    EXPECT_TRUE(para.IsPosted(QStringLiteral("IA")));

    EXPECT_EQ(para.CurrentPeriod({}), 1) << "no month-end rows yet";
    for (int p = 1; p <= 12; ++p)
        db().exec(
            QStringLiteral(
                "INSERT INTO GL_mEnd (iPeriod, iYear, bFlag_IA, bFlag_PU, bFlag_ST) VALUES (?, ?, ?, ?, 1)"),
            {p, kYear, p <= 3 || p == 5 ? 1 : 0, 0});
    EXPECT_EQ(para.CurrentPeriod({}), 4);
    EXPECT_EQ(para.CurrentPeriod(QStringLiteral("IA")), 4);
    EXPECT_EQ(para.CurrentPeriod(QStringLiteral("PU")), 1);
    EXPECT_EQ(para.CurrentPeriod(QStringLiteral("ST")), 13);
    EXPECT_THROW(para.CurrentPeriod(QStringLiteral("IA, 1) FROM GL_mEnd --")), DbError);

    db().exec(QStringLiteral(
        "INSERT INTO Warehouse (cWhCode, cWhName, cWhValueStyle) VALUES ('01', 'a', '先进先出法')"));
    EXPECT_EQ(para.WarehouseValueStyle(QStringLiteral("01")), QStringLiteral("先进先出法"));
    EXPECT_EQ(para.WarehouseValueStyle(QStringLiteral("02")), QString());

    db().exec(
        QStringLiteral("INSERT INTO code (cCode, cCode_Name, iGrade, bEnd) VALUES "
                       "('1403', '原材料', 1, 0), ('140301', '主要材料', 2, 1)"));
    QString name;
    EXPECT_TRUE(para.InventoryAccount(QStringLiteral("140301"), &name));
    EXPECT_EQ(name, QStringLiteral("主要材料"));
    EXPECT_FALSE(para.InventoryAccount(QStringLiteral("1403"), &name));
    EXPECT_FALSE(para.InventoryAccount(QStringLiteral("9999"), &name));

    // Opened from the login's connection text alone.
    AccPara own;
    own.Init(conn(), {});
    EXPECT_EQ(own.CurrentPeriod({}), 4);
}

// Catches: list texts split at the wrong place (names with spaces, codes that
// fill or pass the padded width).
TEST(HostWarehouseList, CodeOfListText) {
    const struct {
        QString text, code;
    } rows[] = {
        {QStringLiteral("01             原料库"), QStringLiteral("01")},
        {QStringLiteral("01             North Store"), QStringLiteral("01")},
        {QStringLiteral("ABCDEFGHIJKLMN 成品库"), QStringLiteral("ABCDEFGHIJKLMN")},
        {QStringLiteral("ABCDEFGHIJKLMNOP 成品库"), QStringLiteral("ABCDEFGHIJKLMNOP")},
        {QStringLiteral("ABCDEFGHIJKLMNO成品库"), QStringLiteral("ABCDEFGHIJKLMNO")},
        {QStringLiteral("07"), QStringLiteral("07")},
        {QString(), QString()},
    };
    for (const auto& r : rows) EXPECT_EQ(AccPara::WarehouseCodeOf(r.text), r.code) << r.text.toStdString();
}

// Catches: two connections drawing the same instance number, and tags that are
// not usable in a file or table name or repeat.
TEST_P(HostTest, InstanceNumbersAreDistinctAcrossConnections) {
    constexpr int perThread = 25;
    QList<int> a, b;
    std::string failure;
    auto draw = [&](QList<int>* out) {
        try {
            auto own = Database::open(conn());
            for (int i = 0; i < perThread; ++i) *out << InstanceNumberSource(*own);
        } catch (const DbError& e) {
            failure = e.what();
        }
    };
    std::thread t1(draw, &a), t2(draw, &b);
    t1.join();
    t2.join();
    ASSERT_TRUE(failure.empty()) << failure;
    QSet<int> all(a.begin(), a.end());
    all.unite(QSet<int>(b.begin(), b.end()));
    EXPECT_EQ(all.size(), 2 * perThread);
    EXPECT_GT(InstanceNumberSource(db()),
              std::max(*std::max_element(a.begin(), a.end()), *std::max_element(b.begin(), b.end())));

    const QString t = UniqueTag();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z][A-Za-z0-9]+$")).match(t).hasMatch())
        << t.toStdString();
    EXPECT_NE(t, UniqueTag());
}

// The other running copy of the cross-process test: this same test binary,
// started with QC_HOST_CHILD_CONN, claims the task and waits to be killed.
class HostChildProcess : public ::testing::Test {
    void TestBody() override {
        LoginRequest r;
        r.connectionString = qEnvironmentVariable("QC_HOST_CHILD_CONN");
        r.accountId = kAcc;
        r.accountYear = kYear;
        r.userId = QStringLiteral("demo");
        r.password = QStringLiteral("pw'1");
        QString e;
        auto l = VqLogin::login(r, &e);
        ASSERT_TRUE(l) << e.toStdString();
        ASSERT_TRUE(l->TaskExec(QStringLiteral("ASM3102"), -1)) << l->TaskMessage().toStdString();
        std::cout << "CLAIMED" << std::endl;
        std::string line;
        std::getline(std::cin, line);
    }
};

[[maybe_unused]] const bool g_childRegistered = [] {
    if (qEnvironmentVariableIsEmpty("QC_HOST_CHILD_CONN")) return false;
    ::testing::RegisterTest("HostChild", "HoldsTask", nullptr, nullptr, __FILE__, __LINE__,
                            []() -> ::testing::Test* { return new HostChildProcess; });
    return true;
}();

// Catches: exclusion that only works inside one process, and a crashed copy's
// claim never released on its own machine.
TEST_P(HostTest, AnotherProcessHoldsTheTaskUntilItDies) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QC_HOST_CHILD_CONN"), conn());
    env.insert(QStringLiteral("QC_FAST_HASH"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=HostChild.*")});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray out;
    while (!out.contains("CLAIMED") && child.waitForReadyRead(60000)) out += child.readAllStandardOutput();
    ASSERT_TRUE(out.contains("CLAIMED")) << out.toStdString() << child.readAllStandardError().toStdString();

    auto d = demo();
    ASSERT_TRUE(d);
    EXPECT_FALSE(d->TaskExec(QStringLiteral("ASM3102"), -1));
    EXPECT_TRUE(d->TaskMessage().contains(QSysInfo::machineHostName()));

    child.kill();
    ASSERT_TRUE(child.waitForFinished());
    EXPECT_TRUE(d->TaskExec(QStringLiteral("ASM3102"), -1)) << d->TaskMessage().toStdString();
}

QC_DB_SUITE(HostTest);

}  // namespace
}  // namespace qc::test
