#pragma once

#include <QString>
#include <QTextStream>

namespace qc::shell {

// Names and version of the program (the demo file's folder depends on them).
void setupApplication();
// The look of the shell: the Fusion style and a Chinese font when one is there.
void applyLook();

// The login dialog, then the menu until the user quits. connectionString: the
// database to offer first ("" for the demo file).
int runInteractive(const QString& connectionString);

// Rebuilds the demo account in connectionString ("" for the demo file) and draws
// the login (filled in), a refused login and the menu into PNG files in folder.
int takeScreenshots(const QString& folder, const QString& connectionString, QTextStream& out,
                    QTextStream& err);

}  // namespace qc::shell
