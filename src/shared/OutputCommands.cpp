#include "shared/OutputCommands.h"

#include "session/LoginContext.h"

namespace qc {

bool OutputAllowed(LoginContext& ctx, const QString& key, int rows) {
    if (rows > 0) return true;
    const QString what = key == u"Print"     ? QStringLiteral("打印")
                         : key == u"Preview" ? QStringLiteral("预览")
                                             : QStringLiteral("输出");
    sinkOf(ctx).exclamation(QStringLiteral("没有数据，不能") + what + QStringLiteral("！"));
    return false;
}

}  // namespace qc
