// The command line: sub-commands on each back end, and refusals of bad input.

#include "Cli.h"
#include "LoginForm.h"
#include "support/TestDb.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTemporaryDir>

namespace qc {
namespace {

struct Result {
    int code = 0;
    QString out, err;
};

Result runCli(const QStringList& words) {
    Result r;
    QTextStream out(&r.out), err(&r.err);
    r.code = cli::run(words, out, err);
    return r;
}

const QString kRefused = QStringLiteral("账套、年度、操作员或密码不正确，请重新输入。");

// The environment of a shell on a machine without a display.
QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QC_PASSWORD"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("QC_FAST_HASH"), QStringLiteral("1"));
    return env;
}

// Runs the program itself, its standard input a pipe with nothing in it. A crash
// is reported as exit code -1.
Result runProgram(const QStringList& words, const QProcessEnvironment& env = withoutDisplay()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QC_QCINPUT_PATH), words);
    p.closeWriteChannel();
    Result r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.code = -2;
    } else {
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray contentsOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class CliTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
    }
};

// Catches: init-db missing tables, or init-demo printing operators and passwords
// that do not actually log in.
TEST_P(CliTest, InitDbBuildsTheSchemaAndInitDemoPrintsWorkingLogins) {
    const Result init = runCli({QStringLiteral("init-db"), QStringLiteral("--db"), conn()});
    ASSERT_EQ(init.code, 0) << init.err.toStdString();
    const QStringList tables = db().tables();
    for (const char* t : {"ia_subsidiary", "accinformation", "ua_account", "inventory", "warehouse"})
        EXPECT_TRUE(tables.contains(QString::fromLatin1(t))) << t;

    // A server database is not removed first, so the demo goes into a fresh one.
    if (GetParam() == "postgres") {
        m_account.reset();
        m_account = std::make_unique<test::ScratchAccount>(GetParam());
    }
    const Result demo = runCli({QStringLiteral("init-demo"), QStringLiteral("--db=") + conn()});
    ASSERT_EQ(demo.code, 0) << demo.err.toStdString();
    const QRegularExpression line(QStringLiteral("^\\s+(\\S+)\\s+/\\s+(\\S+)"),
                                  QRegularExpression::MultilineOption);
    int logins = 0;
    for (auto it = line.globalMatch(demo.out); it.hasNext();) {
        const auto m = it.next();
        LoginForm form;
        QString message;
        ASSERT_TRUE(form.loadDatabase(conn(), &message)) << message.toStdString();
        ASSERT_FALSE(form.accounts().isEmpty());
        LoginRequest r{conn(),
                       form.accounts().first().id,
                       form.accounts().first().years.last(),
                       m.captured(1),
                       m.captured(2),
                       form.defaultLoginDate(),
                       {}};
        LoginForm::Field field;
        EXPECT_NE(form.login(r, &message, &field), nullptr)
            << m.captured(1).toStdString() << message.toStdString();
        ++logins;
    }
    EXPECT_GE(logins, 2) << demo.out.toStdString();
}

// Catches: an option value that looks like a help flag taken for a request for
// help (exit 0, nothing run), and refusals that blame the year for an empty
// database or an account that is not there.
TEST_P(CliTest, ValuesAreValuesAndRefusalsNameTheirCause) {
    const Result empty =
        runCli({QStringLiteral("post"), QStringLiteral("--db"), conn(), QStringLiteral("--user"),
                QStringLiteral("demo"), QStringLiteral("--password"), QStringLiteral("x")});
    EXPECT_EQ(empty.code, 1);
    EXPECT_TRUE(empty.err.contains(QStringLiteral("不是存货核算账套"))) << empty.err.toStdString();

    const demo::DemoInfo info = cli::createDemoAccount(conn());
    const demo::DemoUser& user = info.users.first();
    const QStringList base{QStringLiteral("post"), QStringLiteral("--db"), conn()};
    const QStringList asValues[] = {
        {QStringLiteral("--user"), user.userId, QStringLiteral("--password"), QStringLiteral("-h")},
        {QStringLiteral("--user"), QStringLiteral("--help"), QStringLiteral("--password"), user.password},
    };
    for (const QStringList& words : asValues) {
        const Result r = runCli(base + words);
        EXPECT_EQ(r.code, 1) << words.join(u' ').toStdString();
        EXPECT_EQ(r.err.trimmed(), kRefused) << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(QStringLiteral("用法"))) << r.out.toStdString();
    }
    const Result help =
        runCli(base + QStringList{QStringLiteral("--user"), user.userId, QStringLiteral("-h")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("用法：qcinput post"))) << help.out.toStdString();

    const Result account = runCli(base + QStringList{QStringLiteral("--account"), QStringLiteral("999"),
                                                     QStringLiteral("--user"), user.userId,
                                                     QStringLiteral("--password"), user.password});
    EXPECT_EQ(account.code, 1);
    EXPECT_TRUE(account.err.contains(QStringLiteral("账套 999 不存在"))) << account.err.toStdString();
}

QC_DB_SUITE(CliTest);

// Catches: opening a file that is not an account changing it (an empty file made
// into a database, another program's file switched to WAL, or deleted and
// rebuilt by init-demo or gen-scale --replace), even when the login is refused,
// and refusals that do not say the file is no account.
TEST(CliCommandLineTest, AFileThatIsNotAnAccountIsRefusedAndLeftAsItWas) {
    qputenv("QC_FAST_HASH", "1");
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.sqlite"));
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        raw.setDatabaseName(other);
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE notes (body TEXT)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO notes VALUES ('kept')")));
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    const QString empty = dir.filePath(QStringLiteral("empty.db"));
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    for (const auto& [path, bytes] :
         {std::pair{empty, QByteArray()}, std::pair{text, QByteArray("notes\n")}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    for (const QString& path : {other, empty, text}) {
        SCOPED_TRACE(path.toStdString());
        const QString notAccount = QStringLiteral("不是存货核算账套：") + path;
        const QByteArray before = contentsOf(path);
        LoginForm form;
        QString error;
        EXPECT_FALSE(form.loadDatabase(path, &error));
        EXPECT_EQ(error, notAccount);
        LoginRequest r{
            path, QStringLiteral("001"), 2026, QStringLiteral("demo"), QStringLiteral("x"), QDate(2026, 1, 1),
            {}};
        EXPECT_FALSE(VqLogin::login(r, &error));
        EXPECT_EQ(error, notAccount);
        const Result post =
            runCli({QStringLiteral("post"), QStringLiteral("--db"), path, QStringLiteral("--user"),
                    QStringLiteral("demo"), QStringLiteral("--password"), QStringLiteral("x")});
        EXPECT_EQ(post.code, 1);
        EXPECT_EQ(post.err.trimmed(), notAccount);
        if (path != empty) {
            const QStringList building[] = {
                {QStringLiteral("init-db"), QStringLiteral("--db"), path},
                {QStringLiteral("init-demo"), QStringLiteral("--db"), path},
                {QStringLiteral("gen-scale"), QStringLiteral("--db"), path, QStringLiteral("--items"),
                 QStringLiteral("3"), QStringLiteral("--replace")},
            };
            for (const QStringList& words : building) {
                const Result b = runCli(words);
                EXPECT_EQ(b.code, 1) << words.join(u' ').toStdString();
                EXPECT_EQ(b.err.trimmed(), notAccount) << words.join(u' ').toStdString();
            }
        }
        EXPECT_EQ(contentsOf(path), before);
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            EXPECT_FALSE(QFileInfo::exists(path + QString::fromLatin1(suffix))) << suffix;
    }

    // An empty file is where a new account may go.
    const Result init = runCli({QStringLiteral("init-db"), QStringLiteral("--db"), empty});
    EXPECT_EQ(init.code, 0) << init.err.toStdString();
    LoginForm form;
    QString error;
    EXPECT_TRUE(form.loadDatabase(empty, &error)) << error.toStdString();
}

// Catches: a SQLite path with '=' in it taken for a server's connection text, and
// a server's address or the explicit "sqlite:" form not recognised.
TEST(CliCommandLineTest, PathsArePathsUnlessTheyNameAServer) {
    struct Case {
        QString text;
        DbKind kind;
        QString pathOrDatabase;
    };
    const Case cases[] = {
        {QStringLiteral("/data/a=b.db"), DbKind::Sqlite, QStringLiteral("/data/a=b.db")},
        {QStringLiteral("host=db dbname=acc"), DbKind::Sqlite, QStringLiteral("host=db dbname=acc")},
        {QStringLiteral("sqlite:/data/x=1.db"), DbKind::Sqlite, QStringLiteral("/data/x=1.db")},
        {QStringLiteral("postgresql://qc@db:5433/acc"), DbKind::Postgres, QStringLiteral("acc")},
        {QStringLiteral("postgres://db/acc"), DbKind::Postgres, QStringLiteral("acc")},
    };
    for (const Case& c : cases) {
        const ConnectionInfo info = ConnectionInfo::parse(c.text);
        EXPECT_EQ(info.kind, c.kind) << c.text.toStdString();
        EXPECT_EQ(info.kind == DbKind::Sqlite ? info.path : info.dbName, c.pathOrDatabase)
            << c.text.toStdString();
    }

    qputenv("QC_FAST_HASH", "1");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("year=2026.db"));
    const demo::DemoInfo info = cli::createDemoAccount(file);
    const Result post =
        runCli({QStringLiteral("post"), QStringLiteral("--db"), file, QStringLiteral("--user"),
                info.users.first().userId, QStringLiteral("--password"), info.users.first().password});
    EXPECT_EQ(post.code, 0) << post.err.toStdString();
}

// Catches: the program aborting for want of a display (SIGABRT) on a misspelt
// command or a wrong option, a misspelt command called an unknown option, and a
// window asked for without a display ending in a crash instead of a message.
TEST(CliProgramTest, AnswersWithoutADisplay) {
    QTemporaryDir dir;
    struct Case {
        QStringList words;
        QString says;
    };
    const Case cases[] = {
        {{QStringLiteral("posst")}, QStringLiteral("未知的命令：posst")},
        {{QStringLiteral("--colour")}, QStringLiteral("未知的参数：--colour")},
        {{QStringLiteral("--db"), dir.filePath(QStringLiteral("a.db")), QStringLiteral("stray")},
         QStringLiteral("未知的参数：stray")},
        {{QStringLiteral("--db"), dir.filePath(QStringLiteral("a.db"))}, QStringLiteral("没有可用的显示")},
    };
    for (const Case& c : cases) {
        const Result r = runProgram(c.words);
        EXPECT_EQ(r.code, 1) << c.words.join(u' ').toStdString() << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    }
    QProcessEnvironment offscreen = withoutDisplay();
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const Result r = runProgram({QStringLiteral("posst")}, offscreen);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("未知的命令：posst"))) << r.err.toStdString();
    EXPECT_EQ(runProgram({QStringLiteral("--help")}).code, 0);
}

// Catches: a script with no password and no terminal trying an empty password
// and getting the wrong-password answer, and QC_PASSWORD not taken.
TEST(CliProgramTest, APasswordComesFromTheTerminalTheOptionOrTheEnvironment) {
    qputenv("QC_FAST_HASH", "1");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("demo.db"));
    const demo::DemoInfo info = cli::createDemoAccount(file);
    const QStringList post{QStringLiteral("post"), QStringLiteral("--db"), file, QStringLiteral("--user"),
                           info.users.first().userId};

    const Result none = runProgram(post);
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("QC_PASSWORD")) &&
                none.err.contains(QStringLiteral("--password")))
        << none.err.toStdString();
    EXPECT_FALSE(none.err.contains(kRefused));

    QProcessEnvironment env = withoutDisplay();
    env.insert(QStringLiteral("QC_PASSWORD"), QStringLiteral("wrong"));
    const Result wrong = runProgram(post, env);
    EXPECT_EQ(wrong.code, 1);
    EXPECT_EQ(wrong.err.trimmed(), kRefused);
    env.insert(QStringLiteral("QC_PASSWORD"), info.users.first().password);
    const Result right = runProgram(post, env);
    EXPECT_EQ(right.code, 0) << right.err.toStdString();
}

// Catches: a second init-demo failing on the existing file, gen-scale silently
// overwriting a database, and bad command lines that do not exit with 1.
TEST(CliCommandLineTest, SqliteFilesAndBadInput) {
    qputenv("QC_FAST_HASH", "1");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sub/demo.db"));
    for (int i = 0; i < 2; ++i) {
        const Result r = runCli({QStringLiteral("init-demo"), QStringLiteral("--db"), file});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
    }

    const qint64 size = QFileInfo(file).size();
    const Result kept = runCli({QStringLiteral("gen-scale"), QStringLiteral("--db"), file,
                                QStringLiteral("--items"), QStringLiteral("3")});
    EXPECT_EQ(kept.code, 1);
    EXPECT_TRUE(kept.err.contains(QStringLiteral("--replace")));
    EXPECT_EQ(QFileInfo(file).size(), size);

    const QString scale = dir.filePath(QStringLiteral("scale.db"));
    const QStringList bad[] = {
        {QStringLiteral("no-such-command")},
        {QStringLiteral("gen-scale"), QStringLiteral("--db"), scale, QStringLiteral("--items"),
         QStringLiteral("abc")},
        {QStringLiteral("gen-scale"), QStringLiteral("--db"), scale, QStringLiteral("--items"),
         QStringLiteral("-4")},
        {QStringLiteral("gen-scale"), QStringLiteral("--db"), scale, QStringLiteral("--items")},
        {QStringLiteral("init-db"), QStringLiteral("--db"), scale, QStringLiteral("--colour"),
         QStringLiteral("x")},
        {QStringLiteral("init-db"), QStringLiteral("--db"), scale, QStringLiteral("stray")},
        {QStringLiteral("init-db"), QStringLiteral("--db"), QString()},
    };
    for (const QStringList& words : bad) {
        const Result r = runCli(words);
        EXPECT_EQ(r.code, 1) << words.join(u' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << words.join(u' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(scale));

    EXPECT_EQ(runCli({QStringLiteral("--help")}).code, 0);
    const Result help = runCli({QStringLiteral("gen-scale"), QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    for (const char* option :
         {"--items", "--warehouses", "--openings", "--stock-lines", "--dispatch-lines", "--seed"})
        EXPECT_TRUE(help.out.contains(QString::fromLatin1(option))) << option;
}

}  // namespace
}  // namespace qc
