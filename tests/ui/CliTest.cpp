// The command line: sub-commands on each back end, and refusals of bad input.

#include "Cli.h"
#include "LoginForm.h"
#include "support/TestDb.h"

#include <QFileInfo>
#include <QRegularExpression>
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

QC_DB_SUITE(CliTest);

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
