#include "WindowHostImpl.h"

#include "dispatched/ui/FrmQcFcsp.h"
#include "host/ui/UiPickers.h"
#include "opening/ui/FrmQcInput.h"
#include "platform/ui/MessageBoxSink.h"
#include "reconcile/ui/FrmCompareKc.h"
#include "session/LoginContext.h"
#include "summary/ui/SummaryFlow.h"

#include <stdexcept>

namespace qc {

bool WindowHostImpl::available(Window w) const {
    return w == Window::Opening || w == Window::Dispatched || w == Window::Summary || w == Window::Reconcile;
}

void WindowHostImpl::showOpening(LoginContext& ctx, VqLogin& login, bool isBusiness) {
    // The refusal of the department check is a message box over the shell too.
    MessageBoxSink early(m_parent);
    MessageSink* const shellSink = ctx.sink;
    if (!ctx.sink) ctx.sink = &early;
    openContext(ctx, login, isBusiness, ConnectionMode::Reconnect);
    const bool allowed = entryDepartmentCheck(ctx);
    ctx.sink = shellSink;
    if (!allowed) return;
    createScratchDatabase(ctx);
    {
        UiPickers pickers(m_parent);
        opening::FrmQcInput window(ctx, pickers, m_parent);
        pickers.setParentWidget(&window);
        window.exec();
    }
    // Closing the window has released the context already; a window that went
    // another way (the application quitting) is released here. Closing twice is harmless.
    closeContext(ctx);
}

void WindowHostImpl::showDispatched(LoginContext& ctx, VqLogin& login, int businessType) {
    MessageBoxSink early(m_parent);
    MessageSink* const shellSink = ctx.sink;
    if (!ctx.sink) ctx.sink = &early;
    openContext(ctx, login, false, ConnectionMode::Reconnect);
    createScratchDatabase(ctx);
    {
        UiPickers pickers(m_parent);
        dispatched::FrmQcFcsp window(
            ctx, pickers,
            businessType == 0 ? dispatched::BusinessType::Instalment : dispatched::BusinessType::Consignment,
            m_parent);
        pickers.setParentWidget(&window);
        window.exec();
    }
    ctx.sink = shellSink;
    closeContext(ctx);
}

void WindowHostImpl::showSummary(LoginContext& ctx, VqLogin& login, bool isBusiness) {
    MessageBoxSink boxes(m_parent);
    MessageSink* const shellSink = ctx.sink;
    if (!ctx.sink) ctx.sink = &boxes;
    openContext(ctx, login, isBusiness, ConnectionMode::Reconnect);
    {
        UiPickers pickers(m_parent);
        summary::runSummary(ctx, pickers, summary::SummaryKind::Opening, m_parent);
    }
    ctx.sink = shellSink;
    closeContext(ctx);
}

void WindowHostImpl::showReconcile(LoginContext& ctx, VqLogin& login, YrCommon& /*common*/) {
    MessageBoxSink boxes(m_parent);
    MessageSink* const shellSink = ctx.sink;
    if (!ctx.sink) ctx.sink = &boxes;
    openContext(ctx, login, false, ConnectionMode::Reconnect);
    {
        UiPickers pickers(m_parent);
        reconcile::runReconcile(ctx, pickers, m_parent);
    }
    ctx.sink = shellSink;
    closeContext(ctx);
}

}  // namespace qc
