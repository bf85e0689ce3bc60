#pragma once

// Runs the command line in-process, as `qcinput <words>` would, and keeps what it
// printed.

#include "Cli.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace qc::test {

struct CliResult {
    int code = 0;
    QString out, err;
};

inline CliResult runCli(const QStringList& words) {
    CliResult r;
    QTextStream out(&r.out), err(&r.err);
    r.code = cli::run(words, out, err);
    return r;
}

}  // namespace qc::test
