#include "host/LoginAdapter.h"

#include "host/VqLogin.h"

namespace qc {

bool LoginAdapter::Init(VqLogin& login, QString& msg) {
    m_login = &login;
    msg.clear();
    return true;
}

bool LoginAdapter::Link(QString& link, QString& msg) {
    if (!m_login) {
        link.clear();
        msg = QStringLiteral("登录适配器尚未初始化");
        return false;
    }
    link = m_login->instanceTag();
    msg.clear();
    return true;
}

}  // namespace qc
