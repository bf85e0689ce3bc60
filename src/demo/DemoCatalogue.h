#pragma once

// The pieces of the demo account shared by the files that write it: the
// catalogue of item classes, warehouses and items, the helpers that turn its
// texts into values, and the writers of each part.

#include "demo/DemoCommon.h"
#include "platform/Database.h"
#include "platform/Decimal.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <span>

namespace qc::demo::catalogue {

inline const QVariant kNull;

QString s(const char* t);
QVariant orNull(const char* t);
QVariant orNull(const QString& t);
Decimal dec(const char* t);

struct ClassRow {
    const char *code, *name;
    int grade, end;
};
struct WarehouseRow {
    const char *code, *name, *dep, *method, *subject;
};

enum Flag { kService = 1, kNonStock = 2, kTrack = 4 };

struct ItemRow {
    const char *code, *addCode, *name, *std, *cls, *unit;
    const char* rcost;   // planned price, or selling price under the selling-price method
    const char* sprice;  // reference (purchase) price
    const char *vendor, *free1, *free2, *stop, *origin, *brand, *replace;
    int flags;
    int lot;  // typical stock lot; 0: no stock
};

std::span<const ClassRow> classes();
// One warehouse per valuation method (two under FIFO) and one whose method is not
// set yet; the subject is the inventory account of its opening rows.
std::span<const WarehouseRow> warehouses();
std::span<const ItemRow> items();

// The warehouse an item is kept in.
const WarehouseRow& homeWarehouse(const ItemRow& it);
// The item of a code (DbError when the catalogue has none).
const ItemRow& item(const char* code);
bool stocked(const ItemRow& it);
// The stock a warehouse counted when the stock module's openings were entered.
Decimal openingQty(const ItemRow& it, int i);
// A purchase cost near the reference price: alternately 2% above, at and 1% below.
Decimal purchaseCost(const ItemRow& it, int i);

// Classes, items and warehouses.
void writeItems(Database& db);
// One of each, as writeItems writes it (an item's iId is its place in items(), from 1).
void writeClass(Database& db, const ClassRow& c);
void writeItem(Database& db, const ItemRow& it);
void writeWarehouse(Database& db, const WarehouseRow& w);

struct OpeningLine {
    const ItemRow* item;
    Decimal qty, cost;
};
// Stock documents dated before the start; returns the stock openings per warehouse.
QMap<QString, QList<OpeningLine>> writeStockDocuments(Database& db);
// Opening rows already keyed into inventory accounting.
void writeOpeningRows(Database& db, const QMap<QString, QList<OpeningLine>>& openings);
// Dispatch notes and invoices before the start.
void writeSales(Database& db);

}  // namespace qc::demo::catalogue
