#include "Cli.h"
#include "Shell.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

// qcinput                      the login dialog, then the menu
// qcinput --db X               the same, offering database X
// qcinput --screenshot DIR     pictures of the login and the menu (demo account)
// qcinput <sub-command> ...    terminal work without a window (see --help)
int main(int argc, char** argv) {
    QStringList words;
    for (int i = 1; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);

    const bool terminal = !words.isEmpty() && (qc::cli::findCommand(words.first()) ||
                                               words.first() == u"--help" || words.first() == u"-h" ||
                                               words.first() == u"help" || words.first() == u"--version");
    if (terminal) {
        QCoreApplication app(argc, argv);
        qc::shell::setupApplication();
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (words.first() == u"--version") {
            out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion()
                << '\n';
            return 0;
        }
        return qc::cli::run(words, out, err);
    }

    QApplication app(argc, argv);
    qc::shell::setupApplication();
    qc::shell::applyLook();
    QTextStream out(stdout);
    QTextStream err(stderr);

    // Qt has taken its own options (-platform …) out of the arguments by now.
    const QStringList args = QCoreApplication::arguments().mid(1);
    QString database;
    QString screenshots;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if ((a == u"--db" || a == u"--screenshot") && i + 1 < args.size()) {
            (a == u"--db" ? database : screenshots) = args[++i];
        } else if (a.startsWith(QStringLiteral("--db="))) {
            database = a.mid(5);
        } else if (a.startsWith(QStringLiteral("--screenshot="))) {
            screenshots = a.mid(13);
        } else {
            err << QStringLiteral("未知的参数：%1\n\n").arg(a) << qc::cli::usage();
            return 1;
        }
    }
    if (!screenshots.isEmpty()) return qc::shell::takeScreenshots(screenshots, database, out, err);
    return qc::shell::runInteractive(database);
}
