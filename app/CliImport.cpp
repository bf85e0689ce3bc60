// qcinput import-openings: the entry window's 导入 for scripts. Every row is
// checked as typing checks it; every problem is printed (or written to a CSV
// file) and nothing is stored while there is one.

#include "Cli.h"

#include "host/AccPara.h"
#include "opening/OpeningEntry.h"
#include "platform/GridExport.h"
#include "platform/MessageSink.h"
#include "platform/SheetReader.h"
#include "session/LoginContext.h"

#include <QFileInfo>
#include <QTextStream>

namespace qc::cli {

namespace {

void importOpenings(const Arguments& args, QTextStream& out) {
    const QString file = args.value(QStringLiteral("file")).trimmed();
    if (file.isEmpty()) throw UsageError(QStringLiteral("缺少选项 --file"));
    const QString overwrite = args.value(QStringLiteral("overwrite")).trimmed().toLower();
    if (!overwrite.isEmpty() && overwrite != u"yes" && overwrite != u"no")
        throw UsageError(QStringLiteral("选项 --overwrite 须为 yes 或 no"));
    Sheet sheet;
    try {
        sheet = readSheet(file, args.value(QStringLiteral("sheet")).trimmed());
    } catch (const SheetError& e) {
        throw UsageError(e.message());
    }

    OperatorSession session(args);
    LoginContext& ctx = session.ctx();
    ctx.gInstanceNo = QString::number(InstanceNumberSource(ctx.gDb->Connection()));
    NoPickers pickers;
    opening::NoEntryWindow window;
    opening::OpeningEntry entry(ctx, pickers, window);
    entry.Load();
    if (const QString wh = args.value(QStringLiteral("warehouse")).trimmed(); !wh.isEmpty()) {
        QString chosen;
        for (const QString& item : entry.warehouseItems())
            if (AccPara::WarehouseCodeOf(item).trimmed() == wh) chosen = item;
        if (chosen.isEmpty())
            throw UsageError(QStringLiteral("仓库 %1 不存在或不是您所管辖的仓库！").arg(wh));
        entry.WarehouseClick(chosen);
    }

    opening::ImportRequest request;
    request.dryRun = args.has(QStringLiteral("dry-run"));
    if (!overwrite.isEmpty()) request.overwrite = overwrite == u"yes";
    // Without --overwrite a warehouse that holds openings is not decided for the user.
    session.sink().script(MsgAnswer::Cancel);
    const opening::ImportOutcome outcome = entry.ImportSheet(sheet, request);
    switch (outcome.status) {
        case opening::ImportOutcome::Status::Stored:
        case opening::ImportOutcome::Status::Checked:
            out << outcome.message << '\n';
            return;
        case opening::ImportOutcome::Status::Cancelled:
            throw UsageError(
                QStringLiteral("仓库已存在期初数据，请用 --overwrite yes（覆盖）或 no（保留）指定"));
        case opening::ImportOutcome::Status::Refused:
            throw UsageError(outcome.message.isEmpty() ? session.sink().last() : outcome.message);
        case opening::ImportOutcome::Status::Problems:
            break;
    }
    const QString errors = args.value(QStringLiteral("errors")).trimmed();
    if (!errors.isEmpty()) {
        ExportGrid list;
        list.title = QStringLiteral("导入问题");
        for (const char* caption : {"行号", "列", "内容", "问题"})
            list.columns << ExportColumn{QString::fromUtf8(caption), false, 1500};
        for (const opening::ImportProblem& p : outcome.problems)
            list.rows << QStringList{QString::number(p.line), p.caption, p.text, p.message};
        try {
            writeCsv(list, errors);
        } catch (const ExportError& e) {
            throw UsageError(e.message());
        }
        out << QStringLiteral("文件有 %1 处问题，没有导入任何数据；问题清单已写入 %2\n")
                   .arg(outcome.problems.size())
                   .arg(QFileInfo(errors).absoluteFilePath());
    } else {
        out << QStringLiteral("文件有 %1 处问题，没有导入任何数据：\n").arg(outcome.problems.size());
        for (const opening::ImportProblem& p : outcome.problems)
            out << QStringLiteral("第 %1 行").arg(p.line)
                << (p.caption.isEmpty() ? QString() : u' ' + p.caption)
                << (p.text.isEmpty() ? QString() : QStringLiteral("“%1”").arg(p.text.left(60)))
                << QStringLiteral("：") << p.message << '\n';
    }
    out.flush();
    throw ExitCode(1);
}

}  // namespace

Command importOpeningsCommand() {
    QList<Option> options{databaseOption()};
    options += loginOptions();
    options << Option{QStringLiteral("file"), QStringLiteral("F"), QStringLiteral("XLSX 或 CSV 文件")}
            << Option{QStringLiteral("sheet"), QStringLiteral("S"), QStringLiteral("工作表名（默认第一个）")}
            << Option{QStringLiteral("warehouse"), QStringLiteral("W"),
                      QStringLiteral("仓库编码（文件没有“仓库”列时必需）")}
            << Option{QStringLiteral("overwrite"), QStringLiteral("yes|no"),
                      QStringLiteral("仓库已有期初数据时：yes 覆盖，no 保留")}
            << Option{QStringLiteral("dry-run"), QString(), QStringLiteral("只检查，不保存")}
            << Option{QStringLiteral("errors"), QStringLiteral("F"),
                      QStringLiteral("把问题清单写入 CSV 文件")};
    return {QStringLiteral("import-openings"),
            QStringLiteral("从 XLSX 或 CSV 文件导入期初余额（与期初录入窗口的“导入”相同）"), options,
            importOpenings};
}

}  // namespace qc::cli
