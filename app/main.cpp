#include "Cli.h"
#include "Shell.h"
#include "platform/UnitSteps.h"

#include <QApplication>
#include <QGuiApplication>

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <memory>

#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

// A sub-command, or help, is terminal work. So is any other bare first word: a
// misspelt command is answered in the terminal and never needs a display.
bool forTerminal(const QStringList& words) {
    if (words.isEmpty()) return false;
    const QString& first = words.first();
    return !first.startsWith(u'-') || first == u"--help" || first == u"-h" || first == u"--version";
}

struct WindowOptions {
    QString database;
    QString screenshots;
    QString platform;  // Qt's -platform, when given
};

// The window's options, --db and --screenshot. Before the application starts,
// single-dash words are Qt's own options (-platform offscreen) and left to it;
// once Qt has taken those out, one still there is unknown. Anything else is
// refused with UsageError.
WindowOptions windowOptions(const QStringList& words, bool qtHasTakenItsOwn) {
    WindowOptions o;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& w = words[i];
        if (w == u"--db" || w == u"--screenshot") {
            if (i + 1 >= words.size()) throw qc::cli::UsageError(QStringLiteral("选项 %1 缺少值").arg(w));
            (w == u"--db" ? o.database : o.screenshots) = words[++i];
        } else if (w.startsWith(QStringLiteral("--db="))) {
            o.database = w.mid(5);
        } else if (w.startsWith(QStringLiteral("--screenshot="))) {
            o.screenshots = w.mid(13);
        } else if (!qtHasTakenItsOwn && w.size() > 1 && w.startsWith(u'-') && !w.startsWith(u"--")) {
            if (i + 1 < words.size() && !words[i + 1].startsWith(u'-')) {
                if (w == u"-platform") o.platform = words[i + 1];
                ++i;
            }
        } else {
            throw qc::cli::UsageError(QStringLiteral("未知的参数：%1").arg(w));
        }
    }
    return o;
}

// Whether Qt will find a display on the platform it is about to use; it ends the
// program when it finds none. The default platforms, X11 and Wayland, need the
// variable that names the display; a list ("wayland;xcb") is tried in turn.
bool displayAvailable(const QString& platformOption) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString platform =
        platformOption.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : platformOption;
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platform.trimmed().isEmpty()) return x11 || wayland;
    for (const QString& candidate : platform.split(u';', Qt::SkipEmptyParts)) {
        const QString name = candidate.section(u':', 0, 0).trimmed();  // "xcb:options"
        if (name == u"xcb" ? x11 : name.startsWith(u"wayland") ? wayland : true) return true;
    }
    return false;
#else
    Q_UNUSED(platformOption);
    return true;
#endif
}

// QC_KILL_AT_STEP=n: the program kills itself (as kill -9 would) when the n-th
// statement group of a unit of work is announced, after writing the step's name to
// standard error. The crash tests use it to prove that an operation cut off
// anywhere leaves the account wholly before it, or wholly after it once its COMMIT
// was taken.
void killAtStepFromEnvironment() {
    const int at = qEnvironmentVariableIntValue("QC_KILL_AT_STEP");
    if (at <= 0) return;
    qc::unitStepHook() = [at, seen = 0](const QString& step) mutable {
        if (++seen != at) return;
        const QByteArray line = "killed at " + step.toUtf8() + '\n';
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
        ::kill(::getpid(), SIGKILL);
    };
}

}  // namespace

// qcinput                      the login dialog, then the menu
// qcinput --db X               the same, offering database X
// qcinput --screenshot DIR     pictures of the login and the menu (demo account)
// qcinput <sub-command> ...    terminal work without a window (see --help)
int main(int argc, char** argv) {
    QStringList words;
    for (int i = 1; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);

    if (forTerminal(words)) {
        // export draws the printed pages of a PDF: the fonts need a GUI
        // application, which runs off screen.
        std::unique_ptr<QCoreApplication> app;
        if (words.first() == u"export") {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
            app = std::make_unique<QGuiApplication>(argc, argv);
        } else {
            app = std::make_unique<QCoreApplication>(argc, argv);
        }
        qc::shell::setupApplication();
        killAtStepFromEnvironment();
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (words.first() == u"--version") {
            out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion()
                << '\n';
            return 0;
        }
        return qc::cli::run(words, out, err);
    }

    QTextStream err(stderr);
    auto refuse = [&err](const qc::cli::UsageError& e) {
        err << e.message() << "\n\n" << qc::cli::usage();
        return 1;
    };
    WindowOptions options;
    try {
        options = windowOptions(words, false);
    } catch (const qc::cli::UsageError& e) {
        return refuse(e);
    }
    if (!displayAvailable(options.platform)) {
        err << QStringLiteral(
            "无法打开窗口：没有可用的显示（DISPLAY 和 WAYLAND_DISPLAY 都未设置）。\n"
            "终端中可用的命令见 qcinput --help；没有显示时可设 QT_QPA_PLATFORM=offscreen，"
            "用 --screenshot 把登录和菜单画到文件里。\n");
        return 1;
    }

    QApplication app(argc, argv);
    qc::shell::setupApplication();
    qc::shell::applyLook();
    QTextStream out(stdout);
    try {
        // Qt has taken its own options (-platform …) out of the arguments by now.
        windowOptions(QCoreApplication::arguments().mid(1), true);
    } catch (const qc::cli::UsageError& e) {
        return refuse(e);
    }
    if (!options.screenshots.isEmpty())
        return qc::shell::takeScreenshots(options.screenshots, options.database, out, err);
    return qc::shell::runInteractive(options.database);
}
