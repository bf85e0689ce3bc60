#pragma once

#include <QString>

namespace qc {

class VqLogin;

// Binds a login to the common-services object: Init takes the login, Link hands
// out the text that names it (the login's instance tag), which the entry
// prologue gives to YrCommon::setLink.
class LoginAdapter {
  public:
    bool Init(VqLogin& login, QString& msg);
    bool Link(QString& link, QString& msg);

  private:
    VqLogin* m_login = nullptr;
};

}  // namespace qc
