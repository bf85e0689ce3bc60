#pragma once

#include "platform/Database.h"

#include <QString>

namespace qc {

class VqLogin;

// The host's common-services object: answers data-rights questions for the
// operator of the login it is bound to.
class YrCommon {
  public:
    // Binds to a login (the login binding of the entry prologue). Returns true.
    bool login(VqLogin& login);
    // The link object of the login adapter (kept; only its presence matters).
    void setLink(const QString& link) { m_link = link; }
    [[nodiscard]] QString link() const { return m_link; }

    // Which subsystem's settings govern data rights: "ST" or "IA" (the host setting
    // "RightsSysId" in qc_setting, "IA" when missing).
    QString RightsSysId();
    // objectType "Warehouse", "Department", "Inventory", "User"; right "W", "R" or "".
    // An empty fragment: the operator is not restricted for that object type.
    // sql "Null": restricted and holds nothing. Otherwise a SELECT (with bound
    // values) whose first column lists the permitted codes, usable inside IN (...):
    // Inventory.iId values as integers for "Inventory", operator names (cUserName,
    // what the ledger's operator columns hold) for "User". A login that was never
    // bound answers "Null" here and false from HasRight.
    SqlFragment GetRightsSql(const QString& objectType, const QString& reserved, const QString& right);
    // objectType "warehouse", "department" or "inventory" (an inventory code here;
    // "user" takes an operator id). Right "W" asks for the write grant.
    bool HasRight(const QString& objectType, const QString& code, const QString& right,
                  const QString& reserved);

  private:
    VqLogin* m_login = nullptr;
    QString m_link;
};

}  // namespace qc
