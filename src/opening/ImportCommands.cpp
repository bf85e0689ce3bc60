// The entry window's 导入 and 模板: a file chosen, read and imported with its
// progress shown, its problems listed; the template of the columns a file may fill.

#include "opening/OpeningEntry.h"

#include "opening/OpeningColumns.h"
#include "platform/GridExport.h"
#include "platform/MessageSink.h"
#include "platform/SheetReader.h"
#include "shared/OutputCommands.h"

namespace qc::opening {

void OpeningEntry::importFile() {
    if (bPosted) {
        sink().exclamation(QStringLiteral("期初已经记账！"));
        return;
    }
    // The reload after an import would drop a row typed but not stored yet.
    const int last = m_grid.dataRowCount() - 1;
    if (last >= 0 && m_grid.text(last, Col::AutoId).trimmed().isEmpty()) {
        sink().exclamation(QStringLiteral("请将新录入的数据存盘！"));
        return;
    }
    const std::optional<QString> path =
        m_pickers.openFile({QStringLiteral("Excel 工作簿 (*.xlsx)"), QStringLiteral("CSV 文件 (*.csv)"),
                            QStringLiteral("所有文件 (*)")});
    if (!path) return;
    Sheet sheet;
    try {
        // A workbook of several worksheets: the user says which one holds the rows.
        const QStringList names = worksheetNames(*path);
        std::optional<QString> chosen = names.value(0);
        if (names.size() > 1)
            chosen = m_pickers.chooseItem(QStringLiteral("导入"), QStringLiteral("工作表："), names);
        if (!chosen) return;
        sheet = readSheet(*path, names.size() > 1 ? *chosen : QString());
    } catch (const SheetError& e) {
        sink().critical(e.message());
        return;
    }
    ImportRequest request;
    request.progress = [this](int done, int total) { return m_window.importProgress(done, total); };
    m_window.setBusy(true);
    const ImportOutcome out = ImportSheet(sheet, request);
    m_window.setBusy(false);
    switch (out.status) {
        case ImportOutcome::Status::Problems:
            m_window.showImportProblems(out.problems);
            break;
        case ImportOutcome::Status::Stored:
        case ImportOutcome::Status::Checked:
            sink().information(out.message);
            break;
        case ImportOutcome::Status::Refused:
            if (!out.message.isEmpty()) sink().exclamation(out.message);
            break;
        case ImportOutcome::Status::Cancelled:
            break;
    }
}

ExportGrid OpeningEntry::importTemplate() const {
    ExportGrid g;
    g.title = QStringLiteral("期初导入模板");
    for (const int c : importColumns())
        g.columns << ExportColumn{m_grid.caption(c), openingColumns().at(c).numeric(),
                                  std::max(m_widths.at(c), 900)};
    return g;
}

void OpeningEntry::writeTemplate() {
    OutputGrid(m_ctx, m_pickers, importTemplate());
}

}  // namespace qc::opening
