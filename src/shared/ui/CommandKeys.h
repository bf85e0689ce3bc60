#pragma once

#include <QKeySequence>
#include <QString>

namespace qc {

// The key of each toolbar command, the same in every window that offers the
// command: Ctrl+A 增加, Ctrl+D 删除, Ctrl+F 定位, F1 帮助, and an Alt+letter for the
// others (打印 P, 预览 V, 输出 O, 查询 Q, 选择 X, 取数 G, 清空 K, 汇总 H, 对账 M,
// 记账/恢复 J, 升序 S, 降序 R, 退出 E; 保存 Ctrl+S). An empty sequence for a command without one.
// The letters leave W, C and L to the labels of the entry window's fields.
QKeySequence commandShortcut(const QString& commandKey);

// A tooltip with the command's key after it, "记账(Alt+J)"; unchanged when it names
// the key already or there is none.
QString toolTipWithKey(const QString& toolTip, const QKeySequence& sequence);

}  // namespace qc
