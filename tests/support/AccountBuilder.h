#pragma once

// Builds the small account a rule test needs, in code: the account's settings and
// common dictionaries (units, departments, persons, user-defined items, projects),
// then only the warehouses, items, openings and operators the test asks for. The
// warehouses and items are the demo catalogue's, taken by code, so that a test
// reads as "warehouse 02 (FIFO) with item 1101" and the values stay those the
// window journeys see on the full demo account.

#include "platform/Database.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <initializer_list>

namespace qc::test {

// One opening row of IA_Subsidiary, keyed before the start (AutoID returned).
struct OpeningRow {
    QString warehouse, item, quantity, unitCost, amount;
    QString department = QStringLiteral("06");            // cAccDep
    QString debitDifference = {}, creditDifference = {};  // planned-price differences
};

class AccountBuilder {
  public:
    // Creates the schema and writes the settings and the dictionaries, with the
    // operators "demo" (every right) and "clerk" (no data right until given one);
    // with `create` false, adds to the account already built.
    explicit AccountBuilder(Database& db, bool create = true);

    // Catalogue warehouses and items by code; an item brings its classes.
    AccountBuilder& warehouses(std::initializer_list<const char*> codes);
    AccountBuilder& items(std::initializer_list<const char*> codes);
    qint64 opening(const OpeningRow& row);
    // The clerk may see these warehouses (and change those in `writable`),
    // departments and items (by code).
    AccountBuilder& clerkHolds(const QStringList& warehouses, const QStringList& writable,
                               const QStringList& departments, const QStringList& items);
    // Sets one account parameter of AccInformation.
    AccountBuilder& parameter(const char* system, const char* name, const QString& value);

  private:
    Database& m_db;
    QStringList m_classes;
};

}  // namespace qc::test
