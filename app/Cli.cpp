#include "Cli.h"
#include "entry/clsQC.h"
#include "host/AccPara.h"
#include "platform/MessageSink.h"
#include "session/LoginContext.h"

#include "LoginForm.h"
#include "demo/Demo.h"
#include "platform/Database.h"
#include "platform/UnitSteps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <optional>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace qc::cli {

namespace {

Arguments parse(const Command& command, const QStringList& words) {
    Arguments args;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& w = words[i];
        // Only where an option may stand: the value of an option is never one.
        if (w == u"--help" || w == u"-h") {
            args.help = true;
            continue;
        }
        if (!w.startsWith(QStringLiteral("--")) || w.size() < 3)
            throw UsageError(QStringLiteral("多余的参数：%1").arg(w));
        QString name = w.mid(2);
        QString value;
        bool inlineValue = false;
        if (const qsizetype eq = name.indexOf(u'='); eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            inlineValue = true;
        }
        const Option* option = nullptr;
        for (const Option& o : command.options) {
            if (o.name == name) option = &o;
        }
        if (!option) throw UsageError(QStringLiteral("%1 没有选项 --%2").arg(command.name, name));
        if (option->valueName.isEmpty()) {
            if (inlineValue) throw UsageError(QStringLiteral("选项 --%1 不带值").arg(name));
        } else if (!inlineValue) {
            if (i + 1 >= words.size()) throw UsageError(QStringLiteral("选项 --%1 缺少值").arg(name));
            value = words[++i];
        }
        if (args.values.contains(name)) throw UsageError(QStringLiteral("选项 --%1 重复").arg(name));
        args.values.insert(name, value);
    }
    return args;
}

QString commandUsage(const Command& c) {
    QString s = QStringLiteral("用法：qcinput %1 [选项]\n%2\n\n选项：\n").arg(c.name, c.summary);
    QList<Option> all = c.options;
    all << Option{QStringLiteral("help"), {}, QStringLiteral("显示本说明")};
    for (const Option& o : all) {
        const QString left = o.valueName.isEmpty() ? QStringLiteral("--%1").arg(o.name)
                                                   : QStringLiteral("--%1 %2").arg(o.name, o.valueName);
        s += QStringLiteral("  %1  %2\n").arg(left, -24).arg(o.help);
    }
    return s;
}

}  // namespace

qint64 Arguments::integer(const QString& name, qint64 fallback, qint64 min, qint64 max) const {
    if (!has(name)) return fallback;
    bool ok = false;
    const qint64 v = value(name).trimmed().toLongLong(&ok);
    if (!ok || v < min || v > max)
        throw UsageError(QStringLiteral("选项 --%1 须为 %2 到 %3 之间的整数：%4")
                             .arg(name)
                             .arg(min)
                             .arg(max)
                             .arg(value(name)));
    return v;
}

QString Arguments::database() const {
    const QString db = value(QStringLiteral("db")).trimmed();
    if (has(QStringLiteral("db")) && db.isEmpty()) throw UsageError(QStringLiteral("选项 --db 不能为空"));
    return db.isEmpty() ? demo::defaultDemoPath() : db;
}

Option databaseOption() {
    return {QStringLiteral("db"), QStringLiteral("数据库"),
            QStringLiteral("SQLite 文件或 PostgreSQL 连接串（默认：示范账套文件）")};
}

QList<Option> loginOptions() {
    return {
        {QStringLiteral("account"), QStringLiteral("账套号"), QStringLiteral("账套（默认 001）")},
        {QStringLiteral("year"), QStringLiteral("年度"), QStringLiteral("年度（默认：账套的最后一个年度）")},
        {QStringLiteral("user"), QStringLiteral("操作员"), QStringLiteral("操作员")},
        {QStringLiteral("password"), QStringLiteral("密码"),
         QStringLiteral("操作员密码（命令行对本机其他用户可见，宜改用环境变量 QC_PASSWORD）")},
        {QStringLiteral("date"), QStringLiteral("yyyy-MM-dd"),
         QStringLiteral("登录日期（默认：存货核算启用日期）")}};
}

std::unique_ptr<VqLogin> loginFrom(const Arguments& args) {
    LoginForm form;
    LoginRequest r;
    r.connectionString = args.database();
    QString message;
    if (!form.loadDatabase(r.connectionString, &message)) throw UsageError(message);
    r.accountId = args.value(QStringLiteral("account"), QStringLiteral("001"));
    const AccountChoice* account = form.account(r.accountId);
    if (!account) throw UsageError(form.missingAccount(r.accountId));
    const int lastYear = account->years.isEmpty() ? 0 : account->years.last();
    r.accountYear = static_cast<int>(args.integer(QStringLiteral("year"), lastYear, 1900, 9999));
    r.userId = args.value(QStringLiteral("user"));
    r.password = args.value(QStringLiteral("password"));
    r.loginDate = form.defaultLoginDate();
    if (args.has(QStringLiteral("date"))) {
        r.loginDate = QDate::fromString(args.value(QStringLiteral("date")), QStringLiteral("yyyy-MM-dd"));
        if (!r.loginDate.isValid())
            throw UsageError(QStringLiteral("选项 --date 须为 yyyy-MM-dd 格式的日期：%1")
                                 .arg(args.value(QStringLiteral("date"))));
    }
    LoginForm::Field field;
    std::unique_ptr<VqLogin> login = form.login(r, &message, &field);
    if (!login) throw UsageError(message);
    return login;
}

std::unique_ptr<Database> openExisting(const QString& connectionString) {
    return Database::open(connectionString, OpenMode::Account);
}

Command initDbCommand();           // CliAccounts.cpp
Command initDemoCommand();         // CliAccounts.cpp
Command genScaleCommand();         // CliAccounts.cpp
Command fetchStockCommand();       // CliFetch.cpp
Command importOpeningsCommand();   // CliImport.cpp
Command fetchDispatchedCommand();  // CliDispatched.cpp
Command clearDispatchedCommand();  // CliDispatched.cpp
Command postCommand();             // CliPosting.cpp
Command cancelPostCommand();       // CliPosting.cpp
Command summaryCommand();          // CliSummary.cpp
Command reconcileCommand();        // CliReconcile.cpp
Command exportCommand();           // CliExport.cpp
Command auditCommand();            // CliAudit.cpp

const QList<Command>& commands() {
    static const QList<Command> list = {
        initDbCommand(),          initDemoCommand(), genScaleCommand(),   fetchStockCommand(),
        importOpeningsCommand(),  postCommand(),     cancelPostCommand(), fetchDispatchedCommand(),
        clearDispatchedCommand(), summaryCommand(),  reconcileCommand(),  exportCommand(),
        auditCommand(),
    };
    return list;
}

const Command* findCommand(const QString& name) {
    for (const Command& c : commands()) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

QString usage() {
    QString s = QStringLiteral(
        "QCInput 存货核算 — 期初余额\n\n"
        "用法：\n"
        "  qcinput [--db 数据库]          打开登录窗口\n"
        "  qcinput --screenshot 文件夹     在该文件夹生成登录、菜单和期初余额窗口的截图（重建示范账套）\n"
        "  qcinput <命令> [选项]           在终端执行命令\n\n"
        "命令：\n");
    for (const Command& c : commands()) s += QStringLiteral("  %1  %2\n").arg(c.name, -16).arg(c.summary);
    s += QStringLiteral("\n各命令的选项：qcinput <命令> --help\n");
    return s;
}

namespace {

// On a terminal, the steps of long work (posting, 取数, an import…) show as one
// line on standard error, rewritten as they come and ended when the command ends.
class ProgressLine {
  public:
    ProgressLine() {
        if (::isatty(STDERR_FILENO) == 0) return;
        m_listener.emplace([this](const QString& step) {
            if (++m_steps == 1) m_operation = stepOperation(step);  // named by its first step
            const QByteArray line =
                QStringLiteral("\r正在%1：已完成 %2 步").arg(m_operation).arg(m_steps).toUtf8();
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
            std::fflush(stderr);
        });
    }
    ~ProgressLine() {
        m_listener.reset();
        if (m_steps > 0) std::fputs("\n", stderr);
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

  private:
    std::optional<StepListener> m_listener;
    int m_steps = 0;
    QString m_operation;
};

}  // namespace

int run(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    if (arguments.isEmpty() || arguments.first() == u"--help" || arguments.first() == u"-h" ||
        arguments.first() == u"help") {
        out << usage();
        out.flush();
        return 0;
    }
    const Command* command = findCommand(arguments.first());
    if (!command) {
        err << QStringLiteral("未知的命令：%1\n\n").arg(arguments.first()) << usage();
        err.flush();
        return 1;
    }
    int code = 0;
    QString failure;
    {
        const ProgressLine progress;
        try {
            const Arguments args = parse(*command, arguments.mid(1));
            if (args.help)
                out << commandUsage(*command);
            else
                command->run(args, out);
        } catch (const ExitCode& e) {
            code = e.code();
        } catch (const UsageError& e) {
            failure = e.message();
            code = 1;
        } catch (const DbError& e) {
            // A cause the message names already needs no heading.
            failure = (e.kind() == DbError::Kind::Failed ? QStringLiteral("数据库错误：") : QString()) +
                      e.message();
            code = 1;
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
            code = 1;
        }
    }
    if (!failure.isEmpty()) err << failure << '\n';
    out.flush();
    err.flush();
    return code;
}

OperatorSession::OperatorSession(const Arguments& given) {
    Arguments args = given;
    if (args.value(QStringLiteral("user")).trimmed().isEmpty())
        throw UsageError(QStringLiteral("缺少选项 --user"));
    if (!args.has(QStringLiteral("password"))) {
        if (qEnvironmentVariableIsSet("QC_PASSWORD"))
            args.values.insert(QStringLiteral("password"), qEnvironmentVariable("QC_PASSWORD"));
        else if (inputIsTerminal())
            args.values.insert(QStringLiteral("password"), promptPassword());
        else
            throw UsageError(
                QStringLiteral("需要操作员密码：在终端上运行时会提示输入；在脚本中请设置环境变量 QC_PASSWORD"
                               "（推荐），或用选项 --password（命令行对本机其他用户可见）。"));
    }
    m_login = loginFrom(args);
    m_sink = std::make_unique<RecordingSink>();
    m_ctx = std::make_unique<LoginContext>();
    m_ctx->sink = m_sink.get();
    try {
        openContext(*m_ctx, *m_login, false, ConnectionMode::Reconnect);
    } catch (...) {
        closeContext(*m_ctx);
        throw;
    }
    m_ctx->gAccPara = std::make_unique<AccPara>();
    m_ctx->gAccPara->setDatabase(*m_ctx->gDb);
}

OperatorSession::~OperatorSession() {
    closeContext(*m_ctx);
}

bool inputIsTerminal() {
#ifdef Q_OS_UNIX
    return isatty(STDIN_FILENO) != 0;
#else
    return true;
#endif
}

QString promptPassword() {
    QTextStream err(stderr);
    err << QStringLiteral("密码：");
    err.flush();
#ifdef Q_OS_UNIX
    termios old{};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
#endif
    QTextStream in(stdin);
    QString line = in.readLine();
#ifdef Q_OS_UNIX
    if (tty) tcsetattr(STDIN_FILENO, TCSANOW, &old);
#endif
    err << '\n';
    err.flush();
    return line;
}

}  // namespace qc::cli
