#include "domain/Vocabulary.h"

namespace qc {

CostingMethod costingMethodOf(const QString& stored) {
    const QString t = stored.trimmed();
    if (t.isEmpty()) return CostingMethod::None;
    if (t == costing::kFifo) return CostingMethod::Fifo;
    if (t == costing::kLifo) return CostingMethod::Lifo;
    if (t == costing::kSpecific) return CostingMethod::Specific;
    if (t == costing::kPlanned) return CostingMethod::Planned;
    if (t == costing::kSelling) return CostingMethod::Selling;
    if (t == costing::kMonthlyAverage) return CostingMethod::MonthlyAverage;
    if (t == costing::kMovingAverage) return CostingMethod::MovingAverage;
    return CostingMethod::Other;
}

bool isLotValued(CostingMethod m) {
    return m == CostingMethod::Fifo || m == CostingMethod::Lifo || m == CostingMethod::Specific;
}

bool isPricedByPlan(CostingMethod m) {
    return m == CostingMethod::Planned || m == CostingMethod::Selling;
}

bool keepsOneSign(CostingMethod m) {
    return m == CostingMethod::Fifo || m == CostingMethod::Lifo;
}

}  // namespace qc
