#pragma once

#include "host/Pickers.h"
#include "platform/Database.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <optional>

namespace qc::test {

// Answers the reference window by running its list query for real: it records the
// codes listed and picks the row whose code is `pick` (nothing: the user cancels).
class ScriptedPickers : public Pickers {
  public:
    std::optional<QString> pick;
    QStringList listed;
    std::optional<ReferenceQuery> lastQuery;
    int calls = 0;

    std::optional<PickedRow> reference(Database& db, const ReferenceQuery& query) override {
        ++calls;
        lastQuery = query;
        listed.clear();
        QSqlQuery q = db.exec(query.list);
        std::optional<PickedRow> chosen;
        while (q.next()) {
            PickedRow row;
            const QSqlRecord rec = q.record();
            for (int i = 0; i < rec.count(); ++i) row.insert(rec.fieldName(i).toLower(), q.value(i));
            const QString code = textOf(pickedValue(row, query.tagField));
            listed << code;
            if (pick && code == *pick) chosen = row;
        }
        return chosen;
    }
    std::optional<QList<PickedRow>> selectInventory(Database&, const SqlFragment&) override {
        return std::nullopt;
    }
    std::optional<QDate> pickDate(const QDate&) override { return std::nullopt; }
    // The file 输出 writes to: the script's answer (nothing: cancelled).
    std::optional<QString> saveAnswer;
    std::optional<QString> saveFile(const QString&, const QStringList&) override { return saveAnswer; }
    std::optional<QString> openAnswer;
    std::optional<QString> openFile(const QStringList&) override { return openAnswer; }
    // The worksheet chosen among those offered (nothing: cancelled).
    std::optional<QString> chooseAnswer;
    QStringList offered;
    std::optional<QString> chooseItem(const QString&, const QString&, const QStringList& items) override {
        offered = items;
        return chooseAnswer;
    }
};

}  // namespace qc::test
