#pragma once

#include "entry/clsQC.h"

#include <QPointer>
#include <QWidget>

namespace qc {

// The windows the host shell can open through clsQC. A window joins here when it
// is built: available() answers true for it and its show operation opens the
// context and runs the window modally over the shell's main window.
class WindowHostImpl : public WindowHost {
  public:
    explicit WindowHostImpl(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    [[nodiscard]] bool available(Window w) const override;
    void showOpening(LoginContext& ctx, VqLogin& login, bool isBusiness) override;
    void showDispatched(LoginContext& ctx, VqLogin& login, int businessType) override;
    void showSummary(LoginContext& ctx, VqLogin& login, bool isBusiness) override;
    void showReconcile(LoginContext& ctx, VqLogin& login, YrCommon& common) override;

  private:
    QPointer<QWidget> m_parent;
};

}  // namespace qc
