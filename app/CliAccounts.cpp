// The sub-commands that build an account: init-db, init-demo and gen-scale. They
// create a SQLite file (and its folder) when there is none, and refuse another
// program's file instead of changing or deleting it.

#include "Cli.h"

#include "demo/Demo.h"
#include "platform/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace qc::cli {

namespace {

QString display(const QString& connectionString) {
    return ConnectionInfo::parse(connectionString).display();
}

// The SQLite file of a connection string, or "" for a server.
QString sqlitePath(const QString& connectionString) {
    const ConnectionInfo info = ConnectionInfo::parse(connectionString);
    return info.kind == DbKind::Sqlite ? info.path : QString();
}

void removeSqliteFile(const QString& path) {
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        const QString f = path + suffix;
        if (QFileInfo::exists(f) && !QFile::remove(f))
            throw UsageError(QStringLiteral("无法删除文件：%1").arg(f));
    }
}

// Opens the database a sub-command builds an account in: an account already, or
// an empty database; the folder of a SQLite file is made when missing.
std::unique_ptr<Database> openForCreate(const QString& connectionString) {
    const QString path = sqlitePath(connectionString);
    if (!path.isEmpty()) {
        const QString dir = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(dir)) throw UsageError(QStringLiteral("无法创建文件夹：%1").arg(dir));
    }
    return Database::open(connectionString, OpenMode::NewAccount);
}

// Deletes a SQLite file that a sub-command builds anew, once it is known to be an
// account or empty: another program's file is refused, not deleted.
void replaceSqliteFile(const QString& connectionString) {
    const QString path = sqlitePath(connectionString);
    if (path.isEmpty() || !QFileInfo::exists(path)) return;
    (void)Database::open(connectionString, OpenMode::NewAccount);  // throws for another program's file
    removeSqliteFile(path);
}

void initDb(const Arguments& args, QTextStream& out) {
    const QString conn = args.database();
    auto db = openForCreate(conn);
    demo::initDatabase(*db);
    out << QStringLiteral("已建立账套数据库的表结构：%1\n").arg(display(conn));
}

void initDemo(const Arguments& args, QTextStream& out) {
    const QString conn = args.database();
    const demo::DemoInfo info = createDemoAccount(conn);
    out << QStringLiteral("已创建示范账套：%1\n").arg(display(conn));
    out << QStringLiteral("账套 %1，年度 %2\n").arg(info.accountId).arg(info.year);
    out << QStringLiteral("操作员（用户名 / 密码）：\n");
    for (const demo::DemoUser& u : info.users) {
        out << QStringLiteral("  %1 / %2  %3").arg(u.userId, -8).arg(u.password, -12).arg(u.userName);
        if (!u.description.isEmpty()) out << QStringLiteral("：") << u.description;
        out << '\n';
    }
    out << QStringLiteral("启动：qcinput");
    if (args.has(QStringLiteral("db"))) out << QStringLiteral(" --db ") << conn;
    out << '\n';
}

void genScale(const Arguments& args, QTextStream& out) {
    demo::ScaleOptions o;
    constexpr qint64 kMax = 100'000'000;
    o.items = static_cast<int>(args.integer(QStringLiteral("items"), o.items, 1, kMax));
    o.warehouses = static_cast<int>(args.integer(QStringLiteral("warehouses"), o.warehouses, 1, kMax));
    o.openings = static_cast<int>(args.integer(QStringLiteral("openings"), o.openings, 0, kMax));
    o.stockLines = static_cast<int>(args.integer(QStringLiteral("stock-lines"), o.stockLines, 0, kMax));
    o.dispatchLines =
        static_cast<int>(args.integer(QStringLiteral("dispatch-lines"), o.dispatchLines, 0, kMax));
    o.seed = static_cast<quint32>(args.integer(QStringLiteral("seed"), o.seed, 0, 0xFFFFFFFFLL));

    const QString conn = args.database();
    const QString path = sqlitePath(conn);
    if (!path.isEmpty() && QFileInfo(path).size() > 0) {
        if (!args.has(QStringLiteral("replace")))
            throw UsageError(QStringLiteral("数据库文件已存在：%1（加 --replace 重新生成）").arg(path));
        replaceSqliteFile(conn);
    }
    auto db = openForCreate(conn);
    demo::initDatabase(*db);
    const demo::ScaleReport r = demo::generateScale(*db, o);
    out << QStringLiteral("已生成测试账套：%1\n").arg(display(conn));
    out << QStringLiteral("存货 %1，仓库 %2，期初行 %3，库存单据行 %4，发货单行 %5\n")
               .arg(r.items)
               .arg(r.warehouses)
               .arg(r.openings)
               .arg(r.stockLines)
               .arg(r.dispatchLines);
    out << QStringLiteral("用时 %1 ms\n").arg(r.milliseconds);
}

}  // namespace

demo::DemoInfo createDemoAccount(const QString& connectionString) {
    replaceSqliteFile(connectionString);
    auto db = openForCreate(connectionString);
    demo::initDatabase(*db);
    return demo::createDemo(*db);
}

Command initDbCommand() {
    return {QStringLiteral("init-db"),
            QStringLiteral("在数据库中建立全部表（不放数据）"),
            {databaseOption()},
            initDb};
}

Command initDemoCommand() {
    return {QStringLiteral("init-demo"),
            QStringLiteral("重建示范账套（SQLite 文件先删除再建），并列出操作员和密码"),
            {databaseOption()},
            initDemo};
}

Command genScaleCommand() {
    return {
        QStringLiteral("gen-scale"),
        QStringLiteral("生成指定规模的测试账套，打印各表行数和用时"),
        {databaseOption(),
         {QStringLiteral("items"), QStringLiteral("N"), QStringLiteral("存货数（默认 1000）")},
         {QStringLiteral("warehouses"), QStringLiteral("W"), QStringLiteral("仓库数（默认 10）")},
         {QStringLiteral("openings"), QStringLiteral("R"), QStringLiteral("期初行数（默认 1000）")},
         {QStringLiteral("stock-lines"), QStringLiteral("M"), QStringLiteral("库存单据行数（默认 10000）")},
         {QStringLiteral("dispatch-lines"), QStringLiteral("D"), QStringLiteral("发货单行数（默认 1000）")},
         {QStringLiteral("seed"), QStringLiteral("S"), QStringLiteral("随机种子（默认 1）")},
         {QStringLiteral("replace"), {}, QStringLiteral("SQLite 文件已存在时删除后重新生成")}},
        genScale};
}

}  // namespace qc::cli
