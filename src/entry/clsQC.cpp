#include "entry/clsQC.h"

#include "host/VqLogin.h"
#include "session/LoginContext.h"

namespace qc {

clsQC::clsQC(WindowHost* windows, LoginContext& ctx) : m_windows(windows), m_ctx(ctx) {}

QString& applicationHelpFile() {
    static QString file;
    return file;
}

QString clsQC::helpFile() const {
    return applicationHelpFile();
}

// Kept for the host's older menu; it opens nothing.
void clsQC::Init(const QString& /*DbFullPath*/, const QString& /*cUserName*/,
                 std::optional<bool> /*IsBusiness*/) {}

void clsQC::InitHelp(const QString& strHelp) {
    applicationHelpFile() = strHelp;
}

void clsQC::InitNew(VqLogin& mLogIn, std::optional<bool> IsBusiness, std::optional<QString> strHelp) {
    prologue(mLogIn, std::make_shared<YrCommon>());
    m_ctx.gHelpFile = strHelp.value_or(QString());
    if (m_windows && m_windows->available(WindowHost::Window::Opening))
        m_windows->showOpening(m_ctx, mLogIn, IsBusiness.value_or(false));
}

void clsQC::InitFcsp(VqLogin& mLogIn, short businessType) {
    prologue(mLogIn, std::make_shared<YrCommon>());
    if (m_windows && m_windows->available(WindowHost::Window::Dispatched))
        m_windows->showDispatched(m_ctx, mLogIn, businessType);
}

void clsQC::InitQcSum(VqLogin& mLogIn, std::shared_ptr<YrCommon> mologinkc, std::optional<bool> IsBusiness) {
    prologue(mLogIn, std::move(mologinkc));
    if (m_windows && m_windows->available(WindowHost::Window::Summary))
        m_windows->showSummary(m_ctx, mLogIn, IsBusiness.value_or(false));
}

void clsQC::InitCompareKc(VqLogin& mLogIn, std::shared_ptr<YrCommon> mologinkc,
                          std::optional<QString> /*strhelpfile*/) {
    prologue(mLogIn, std::move(mologinkc));
    if (m_windows && m_windows->available(WindowHost::Window::Reconcile))
        m_windows->showReconcile(m_ctx, mLogIn, *m_ctx.gCommon);
}

void clsQC::prologue(VqLogin& login, std::shared_ptr<YrCommon> common) {
    m_ctx.gCommon = common ? std::move(common) : std::make_shared<YrCommon>();
    m_ctx.gCommon->login(login);

    // Scratch-table names carry the instance number; without one they simply have
    // no suffix.
    try {
        m_ctx.gInstanceNo =
            QString::number(static_cast<qint32>(InstanceNumberSource(login.Database().Connection())))
                .trimmed();
    } catch (...) {
        m_ctx.gInstanceNo.clear();
    }

    m_ctx.gLoginAdapter = std::make_unique<LoginAdapter>();
    m_ctx.gLoginLink.clear();
    m_ctx.gLoginAdapter->Init(login, m_ctx.gAdapterMsg);
    m_ctx.gLoginAdapter->Link(m_ctx.gLoginLink, m_ctx.gAdapterMsg);
    m_ctx.gCommon->setLink(m_ctx.gLoginLink);
}

}  // namespace qc
