#pragma once

#include "host/Pickers.h"

#include <QString>

#include <optional>

namespace qc {

struct LoginContext;

// A code box of the condition dialogs and the windows: the text the user sees
// (after validation or a pick, the entry's name) and the tag behind it (the
// entry's code).
struct CodeBox {
    QString text;
    QString tag;
};

// The reference kinds of the code boxes.
inline const QString kRefInventoryClass = QStringLiteral("存货分类");
inline const QString kRefInventory = QStringLiteral("存货");
inline const QString kRefCustomerClass = QStringLiteral("客户分类");
inline const QString kRefCustomer = QStringLiteral("客户");
// End-level account subjects (the inventory accounts of a row).
inline const QString kRefSubject = QStringLiteral("科目");

// What the reference window of a kind lists: entries whose code or name contains
// `text` (without regard to letter case), for "存货" and "客户" only those whose
// class code contains `classFilter`. Items of "存货" are stock items only (no
// services, no non-stock items) and only those the operator holds inventory
// rights for. Nothing for an unknown kind.
std::optional<ReferenceQuery> BuildReferenceQuery(LoginContext& ctx, const QString& kind, const QString& text,
                                                  const QString& classFilter);

// The reference button of a code box: lists the entries of `kind` that match what
// the box holds, and writes the entry the user picks into the box, its name as
// the text and its code as the tag. A cancelled window or a failing query leaves
// the box as it was. The answer is always empty.
QString ShowReference(LoginContext& ctx, Pickers& pickers, CodeBox& target, const QString& kind,
                      const QString& classFilter);

}  // namespace qc
