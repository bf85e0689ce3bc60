#include "demo/Demo.h"

#include "demo/DemoCommon.h"
#include "platform/Database.h"
#include "platform/Decimal.h"
#include "platform/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>

namespace qc::demo {

using namespace detail;

void initDatabase(Database& db) {
    createSchema(db);
}

QString defaultDemoPath() {
    const QString env = QString::fromLocal8Bit(qgetenv("QC_DEMO_DB"));
    if (!env.isEmpty()) return env;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return QDir(folder).filePath(QStringLiteral("demo.db"));
}

namespace {

const QVariant kNull;

QString s(const char* t) {
    return QString::fromUtf8(t);
}
QVariant orNull(const char* t) {
    return (t && *t) ? QVariant(QString::fromUtf8(t)) : kNull;
}
QVariant orNull(const QString& t) {
    return t.isEmpty() ? kNull : QVariant(t);
}
Decimal dec(const char* t) {
    return Decimal::fromText(QString::fromLatin1(t));
}

struct ClassRow {
    const char *code, *name;
    int grade, end;
};
const ClassRow kClasses[] = {
    {"01", "原材料", 1, 0},          {"0101", "金属材料", 2, 0},    {"0101001", "黑色金属", 3, 1},
    {"0101002", "有色金属", 3, 1},   {"0102", "电子元器件", 2, 0},  {"0102001", "集成电路", 3, 1},
    {"0102002", "阻容元件", 3, 1},   {"02", "产成品", 1, 0},        {"0201", "电动机", 2, 0},
    {"0201001", "中小型电机", 3, 1}, {"0201002", "大型电机", 3, 1}, {"0202", "电气控制柜", 2, 1},
    {"03", "库存商品", 1, 0},        {"0301", "五金工具", 2, 0},    {"0301001", "手动工具", 3, 1},
    {"0301002", "电动工具", 3, 1},   {"04", "周转材料", 1, 0},      {"0401", "包装物", 2, 1},
    {"0402", "低值易耗品", 2, 1},    {"05", "备品备件", 1, 0},      {"0501", "轴承", 2, 0},
    {"0501001", "深沟球轴承", 3, 1}, {"0501002", "滚子轴承", 3, 1}, {"0502", "密封件", 2, 1},
    {"06", "劳务及费用", 1, 1},
};

struct WarehouseRow {
    const char *code, *name, *dep, *method, *subject;
};
// One warehouse per valuation method (two under FIFO) and one whose method is not
// set yet; the subject is the inventory account of its opening rows.
const WarehouseRow kWarehouses[] = {
    {"01", "原料库", "06", "计划价法", "140301"},       {"02", "电子料库", "06", "先进先出法", "140302"},
    {"03", "成品库", "06", "全月平均法", "140501"},     {"04", "备件库", "0501", "后进先出法", "140303"},
    {"05", "大型设备库", "06", "个别计价法", "140501"}, {"06", "商品库", "0401", "售价法", "140502"},
    {"07", "周转材料库", "06", "先进先出法", "141101"}, {"08", "待检库", "06", "", ""},
};

enum Flag { kService = 1, kNonStock = 2, kTrack = 4 };

struct ItemRow {
    const char *code, *addCode, *name, *std, *cls, *unit;
    const char* rcost;   // planned price, or selling price under the selling-price method
    const char* sprice;  // reference (purchase) price
    const char *vendor, *free1, *free2, *stop, *origin, *brand, *replace;
    int flags;
    int lot;  // typical stock lot; 0: no stock
};

// clang-format off
const ItemRow kItems[] = {
    {"1001", "YG-Q235", "圆钢", "Q235 Φ20", "0101001", "04", "4200", "4150", "V001", "", "", "", "辽宁", "鞍钢", "", 0, 12},
    {"1002", "JG-L50", "角钢", "L50×5", "0101001", "04", "4350", "4300", "V001", "", "", "", "辽宁", "鞍钢", "", 0, 8},
    {"1003", "GB-Q345", "钢板", "Q345B δ10", "0101001", "04", "4800", "4760", "V003", "", "", "", "上海", "宝钢", "", 0, 10},
    {"1004", "WFG-57", "无缝钢管", "20# Φ57×4", "0101001", "05", "62.5", "61.8", "V003", "", "", "", "上海", "宝钢", "", 0, 300},
    {"1005", "LZB-10", "冷轧薄板", "SPCC 1.0mm", "0101001", "09", "185", "182", "V003", "", "", "", "上海", "宝钢", "", 0, 120},
    {"1006", "BXG-304", "不锈钢板", "304 2.0mm", "0101001", "09", "960", "955", "V003", "", "", "", "上海", "宝钢", "", 0, 40},
    {"1007", "DXB-05", "镀锌板(停用)", "DX51D 0.5mm", "0101001", "09", "96", "95", "V003", "", "", "2025-12-31", "上海", "宝钢", "", 0, 0},
    {"1011", "DJT-1", "电解铜", "1# Cu≥99.95%", "0101002", "03", "72.8", "73.2", "V002", "", "", "", "江苏", "江铜", "", 0, 800},
    {"1012", "LD-A00", "铝锭", "A00", "0101002", "03", "19.6", "19.4", "V002", "", "", "", "江苏", "", "", 0, 1500},
    {"1013", "QBX-08", "漆包线", "QZ-2/130 0.8mm", "0101002", "03", "86.5", "87.1", "V002", "", "", "", "浙江", "", "", 0, 600},
    {"1014", "TP-304", "铜排", "TMY 30×4", "0101002", "05", "112", "113.5", "V002", "", "", "", "江苏", "", "", 0, 150},
    {"1015", "GGP-470", "硅钢片", "50W470", "0101002", "03", "", "9.8", "V003", "", "", "", "上海", "宝钢", "", 0, 2000},
    {"1101", "MCU-F103", "单片机", "STM32F103C8T6", "0102001", "01", "8.5", "8.3", "V004", "", "", "", "广东", "ST", "", 0, 2000},
    {"1102", "IC-2110", "驱动芯片", "IR2110S", "0102001", "01", "6.2", "6.1", "V004", "", "", "", "广东", "IR", "", 0, 1000},
    {"1103", "IC-358", "运算放大器", "LM358DR", "0102001", "01", "0.85", "0.82", "V005", "", "", "", "上海", "TI", "", 0, 5000},
    {"1104", "IC-7805", "稳压芯片", "LM7805CT", "0102001", "01", "0.6", "0.58", "V005", "", "", "", "上海", "TI", "", 0, 5000},
    {"1105", "IC-24C02", "存储芯片", "AT24C02N", "0102001", "01", "0.45", "0.43", "V005", "", "", "", "上海", "Atmel", "", 0, 3000},
    {"1106", "IGBT-300", "IGBT功率模块", "FF300R12KE3", "0102001", "01", "860", "852", "V004", "", "", "", "广东", "英飞凌", "", 0, 20},
    {"1111", "R0603-10K", "贴片电阻", "0603 10KΩ ±1%", "0102002", "12", "28", "27.5", "V004", "", "", "", "广东", "国巨", "", 0, 60},
    {"1112", "C0805-104", "贴片电容", "0805 100nF 50V", "0102002", "12", "35", "34", "V004", "", "", "", "广东", "村田", "", 0, 60},
    {"1113", "DJ-450-470", "电解电容", "450V 470μF", "0102002", "01", "12.5", "12.2", "V005", "", "", "", "江苏", "", "", 0, 400},
    {"1114", "BM-MKP10", "薄膜电容", "MKP 10μF 450V", "0102002", "01", "6.8", "6.6", "V005", "", "", "", "江苏", "", "", 0, 500},
    {"1115", "YM-14D471", "压敏电阻", "14D471K", "0102002", "01", "0.9", "0.88", "V005", "", "", "", "浙江", "", "", 0, 2000},
    {"1116", "RM-NTC10K", "热敏电阻", "NTC 10K 3950", "0102002", "01", "1.2", "1.15", "V005", "", "", "2026-06-30", "浙江", "", "", 0, 1500},
    {"2001", "Y2-80M1-2", "三相异步电动机", "Y2-80M1-2 0.75kW", "0201001", "02", "680", "720", "", "", "380V", "", "上海", "华信", "", 0, 30},
    {"2002", "Y2-90S-4", "三相异步电动机", "Y2-90S-4 1.1kW", "0201001", "02", "860", "910", "", "", "", "", "上海", "华信", "", 0, 25},
    {"2003", "Y2-100L-4", "三相异步电动机", "Y2-100L-4 3kW", "0201001", "02", "1450", "1520", "", "", "", "", "上海", "华信", "", 0, 20},
    {"2004", "YL7122", "单相电容电动机", "YL7122 0.55kW", "0201001", "02", "520", "560", "", "", "220V", "", "上海", "华信", "", 0, 40},
    {"2005", "57BL-200", "直流无刷电机", "57BL 200W 24V", "0201001", "02", "385", "410", "", "", "", "", "上海", "华信", "2006", 0, 50},
    {"2006", "86HS-45", "步进电机", "86HS45 4.5N·m", "0201001", "02", "265", "280", "", "", "", "", "上海", "华信", "", 0, 60},
    {"2007", "Y-132M-4", "三相异步电动机(老型号)", "Y-132M-4 7.5kW", "0201001", "02", "2100", "2200", "", "", "", "2025-06-30", "上海", "华信", "2003", 0, 0},
    {"2011", "YKK355-4", "高压电动机", "YKK355-4 250kW 6kV", "0201002", "02", "98000", "105000", "", "", "", "", "上海", "华信", "", kTrack, 2},
    {"2012", "YKK400-6", "高压电动机", "YKK400-6 400kW 10kV", "0201002", "02", "156000", "168000", "", "", "", "", "上海", "华信", "", kTrack, 2},
    {"2013", "YVF2-315L", "变频调速电机", "YVF2-315L-4 132kW", "0201002", "02", "46500", "49800", "", "", "", "", "上海", "华信", "", kTrack, 3},
    {"2014", "YB3-280M", "隔爆型电动机", "YB3-280M-4 90kW", "0201002", "02", "32800", "35500", "", "", "", "", "上海", "华信", "", kTrack, 3},
    {"2015", "FDJ-500", "柴油发电机组", "500kW 400V", "0201002", "06", "285000", "298000", "", "", "", "", "上海", "华信", "", kTrack, 1},
    {"2021", "BP-45", "变频控制柜", "BP-45kW", "0202", "02", "12800", "13500", "", "", "", "", "上海", "华信", "", 0, 6},
    {"2022", "RQ-110", "软启动柜", "RQ-110kW", "0202", "02", "9600", "10200", "", "", "", "", "上海", "华信", "", 0, 5},
    {"2023", "GGD-1", "低压配电柜", "GGD1 1000A", "0202", "02", "15600", "16400", "", "", "", "", "上海", "华信", "", 0, 4},
    {"2024", "KZ-PLC01", "PLC控制柜", "KZ-01 S7-1200", "0202", "02", "8800", "9300", "", "", "", "", "上海", "华信", "", 0, 8},
    {"2025", "XK-3", "操作箱", "XK-3 三回路", "0202", "02", "650", "690", "", "", "", "", "上海", "华信", "", 0, 30},
    {"3001", "HDBS-12", "活动扳手", "12寸 300mm", "0301001", "13", "58", "42", "V006", "", "", "", "江苏", "世达", "", 0, 200},
    {"3002", "LSD-6", "螺丝刀套装", "6件套", "0301001", "06", "45", "31", "V006", "", "", "", "江苏", "世达", "", 0, 150},
    {"3003", "GSQ-8", "钢丝钳", "8寸 200mm", "0301001", "13", "36", "25", "V006", "", "", "", "江苏", "世达", "", 0, 200},
    {"3004", "NLJ-9", "内六角扳手组套", "9件套 1.5-10mm", "0301001", "06", "39", "27.5", "V006", "", "", "", "江苏", "世达", "", 0, 120},
    {"3005", "JC-5M", "钢卷尺", "5m×19mm", "0301001", "01", "18", "11.5", "V006", "", "", "", "浙江", "长城精工", "", 0, 400},
    {"3006", "SPC-600", "水平尺", "600mm 铝合金", "0301001", "01", "48", "33", "V006", "", "", "", "浙江", "长城精工", "", 0, 80},
    {"3011", "CJZ-13", "冲击钻", "13mm 710W", "0301002", "02", "329", "238", "V006", "红色", "", "", "江苏", "东成", "", 0, 40},
    {"3012", "JMJ-100", "角磨机", "100mm 850W", "0301002", "02", "268", "186", "V006", "蓝色", "", "", "江苏", "东成", "", 0, 50},
    {"3013", "DDBS-400", "电动扳手", "400N·m", "0301002", "02", "459", "335", "V006", "", "", "", "江苏", "东成", "", 0, 20},
    {"3014", "CDZ-18V", "充电式电钻", "18V 双电", "0301002", "02", "499", "362", "V006", "黑色", "220V", "", "江苏", "东成", "", 0, 30},
    {"3015", "DYJ-185", "电圆锯", "185mm 1200W", "0301002", "02", "389", "280", "V006", "", "", "", "江苏", "东成", "", 0, 15},
    {"3016", "RFQ-2000", "热风枪", "2000W", "0301002", "02", "", "98", "V006", "", "", "", "浙江", "", "", 0, 25},
    {"3017", "SDZ-10", "手电钻(旧款)", "10mm 450W", "0301002", "02", "159", "110", "V006", "", "", "2026-01-01", "江苏", "东成", "3014", 0, 0},
    {"4001", "MX-1208", "木箱", "1200×800×900", "0401", "01", "260", "245", "V007", "", "", "", "浙江", "", "", 0, 60},
    {"4002", "ZX-64", "五层纸箱", "600×400×400", "0401", "01", "6.5", "6.2", "V007", "", "", "", "浙江", "", "", 0, 2000},
    {"4003", "CRM-500", "缠绕膜", "500mm×20μm", "0401", "12", "45", "43", "V007", "", "", "", "浙江", "", "", 0, 100},
    {"4004", "TP-1210", "塑料托盘", "1200×1000 川字", "0401", "01", "185", "178", "V007", "", "", "", "浙江", "", "", 0, 80},
    {"4011", "LBST", "劳保手套", "涤纶 13针", "0402", "14", "3.2", "3.0", "V007", "", "", "", "浙江", "", "", 0, 1200},
    {"4012", "GZF", "工作服", "夏装 涤棉", "0402", "06", "85", "80", "V007", "", "", "", "浙江", "", "", 0, 100},
    {"4013", "AQM", "安全帽", "ABS V型", "0402", "15", "28", "26", "V007", "", "", "", "浙江", "", "", 0, 150},
    {"5001", "6205-2RS", "深沟球轴承", "6205-2RS", "0501001", "06", "12.8", "12.5", "V008", "", "", "", "辽宁", "洛轴", "5002", 0, 400},
    {"5002", "6308-ZZ", "深沟球轴承", "6308-ZZ", "0501001", "06", "38.5", "37.6", "V008", "", "", "", "辽宁", "洛轴", "", 0, 200},
    {"5003", "6312", "深沟球轴承", "6312", "0501001", "06", "96", "94", "V008", "", "", "", "辽宁", "洛轴", "", 0, 80},
    {"5004", "30208", "圆锥滚子轴承", "30208", "0501002", "06", "42", "41", "V008", "", "", "", "辽宁", "洛轴", "", 0, 150},
    {"5005", "32212", "圆锥滚子轴承", "32212", "0501002", "06", "88", "86", "V008", "", "", "", "辽宁", "洛轴", "", 0, 60},
    {"5011", "TC-456208", "骨架油封", "TC 45×62×8", "0502", "01", "4.5", "4.3", "V008", "", "", "", "辽宁", "", "", 0, 800},
    {"5012", "O-50-3.1", "O型密封圈", "丁腈 Φ50×3.1", "0502", "01", "0.8", "0.75", "V008", "", "", "", "辽宁", "", "", 0, 3000},
    {"5013", "JXMF-104", "机械密封", "104-35", "0502", "06", "165", "160", "V008", "", "", "", "辽宁", "", "", 0, 30},
    {"9001", "YSFW", "运输服务", "", "06", "10", "", "", "", "", "", "", "", "", "", kService, 0},
    {"9002", "AZTS", "安装调试", "", "06", "10", "", "", "", "", "", "", "", "", "", kService, 0},
    {"9003", "WXFW", "维修服务", "", "06", "11", "", "", "", "", "", "", "", "", "", kService, 0},
    {"9011", "BZF", "包装费", "", "06", "10", "", "", "", "", "", "", "", "", "", kNonStock, 0},
    {"9012", "DDYF", "代垫运费", "", "06", "10", "", "", "", "", "", "", "", "", "", kNonStock, 0},
};
// clang-format on

const WarehouseRow& homeWarehouse(const ItemRow& it) {
    const QString c = s(it.cls);
    auto wh = [](const char* code) -> const WarehouseRow& {
        for (const WarehouseRow& w : kWarehouses)
            if (qstrcmp(w.code, code) == 0) return w;
        return kWarehouses[0];
    };
    if (c.startsWith(u"0101")) return wh("01");
    if (c.startsWith(u"0102")) return wh("02");
    if (c == u"0201002") return wh("05");
    if (c.startsWith(u"02")) return wh("03");
    if (c.startsWith(u"03")) return wh("06");
    if (c.startsWith(u"04")) return wh("07");
    return wh("04");
}

const ItemRow& item(const char* code) {
    for (const ItemRow& it : kItems)
        if (qstrcmp(it.code, code) == 0) return it;
    throw DbError(QStringLiteral("演示数据中没有存货 ") + s(code));
}

// Builds the stock documents, keeping the running stock of every warehouse and
// item so that no issue takes more than is there.
class DocumentWriter {
  public:
    explicit DocumentWriter(Database& db) : m_db(db) {}

    struct Head {
        const char* type;  // cVouchType
        int rdFlag;        // 1 receipt, 0 issue
        const char* busType;
        const char* rdCode;
        const char* wh;
        QDate date;
        QString code;
        const char* dep = "";
        const char* person = "";
        const char* vendor = "";
        const char* customer = "";
        bool opening = false;  // a stock opening (bIsSTQc)
        bool puFirst = false;  // a purchase opening receipt (bpufirst)
        const char* memo = "";
        QString contract;
    };

    int head(const Head& h) {
        const int id = ++m_lastId;
        insertRow(m_db, QStringLiteral("RdRecord"),
                  {{"ID", id},
                   {"bRdFlag", h.rdFlag},
                   {"cVouchType", s(h.type)},
                   {"cBusType", orNull(h.busType)},
                   {"cSource", s("库存")},
                   {"cWhCode", s(h.wh)},
                   {"dDate", h.date},
                   {"cCode", h.code},
                   {"cRdCode", orNull(h.rdCode)},
                   {"cDepCode", orNull(h.dep)},
                   {"cPersonCode", orNull(h.person)},
                   {"cPTCode", qstrcmp(h.type, "01") == 0 ? QVariant(s("01")) : kNull},
                   {"cSTCode", qstrcmp(h.type, "32") == 0 ? QVariant(s("01")) : kNull},
                   {"cCusCode", orNull(h.customer)},
                   {"cVenCode", orNull(h.vendor)},
                   {"cHandler", s("孙丽")},
                   {"cMemo", orNull(h.memo)},
                   {"cMaker", s("孙丽")},
                   {"cDefine1", orNull(h.contract)},
                   {"bpufirst", h.puFirst ? 1 : 0},
                   {"bIsSTQc", h.opening ? 1 : 0}});
        m_wh = s(h.wh);
        m_rdFlag = h.rdFlag;
        return id;
    }

    // Adds a line to the last head; an issue is cut to the stock there. Returns the
    // line's AutoID and the quantity written (0: nothing written).
    std::pair<int, Decimal> line(const ItemRow& it, Decimal qty, const Decimal& unitCost,
                                 const QVariant& settled = {}, const QString& batch = {},
                                 const QString& inspection = {}) {
        Decimal& stock = m_stock[m_wh + u'|' + s(it.code)];
        if (m_rdFlag == 0 && qty > stock) qty = stock;
        if (qty.isZero() || qty.isNegative()) return {0, Decimal()};
        stock += m_rdFlag == 1 ? qty : -qty;
        const int autoId = ++m_lastLine;
        insertRow(m_db, QStringLiteral("RdRecords"),
                  {{"AutoID", autoId},
                   {"ID", m_lastId},
                   {"cInvCode", s(it.code)},
                   {"iQuantity", qty.toVariant()},
                   {"iUnitCost", unitCost.toVariant()},
                   {"iPrice", (qty * unitCost).round(2).toVariant()},
                   {"iFlag", 0},
                   {"iQuantity0", settled},
                   {"cBatch", orNull(batch)},
                   {"cFree1", orNull(it.free1)},
                   {"cFree2", orNull(it.free2)},
                   {"cDefine22", orNull(inspection)}});
        return {autoId, qty};
    }

    [[nodiscard]] Decimal stock(const QString& wh, const char* code) const {
        return m_stock.value(wh + u'|' + s(code));
    }

  private:
    Database& m_db;
    int m_lastId = 0;
    int m_lastLine = 0;
    QString m_wh;
    int m_rdFlag = 1;
    QMap<QString, Decimal> m_stock;
};

bool stocked(const ItemRow& it) {
    return it.lot > 0;
}

// The stock a warehouse counted when the stock module's openings were entered.
Decimal openingQty(const ItemRow& it, int i) {
    Decimal q = Decimal(it.lot * (1 + i % 3));
    if (qstrcmp(it.unit, "03") == 0) q += dec("0.5");  // kilograms are weighed, not counted
    return q;
}

// A purchase cost near the reference price: alternately 2% above, at and 1% below.
Decimal purchaseCost(const ItemRow& it, int i) {
    static const char* const factors[] = {"1.02", "1", "0.99"};
    return (dec(it.sprice) * dec(factors[i % 3])).round(2);
}

void writeItems(Database& db) {
    for (const ClassRow& c : kClasses)
        insertRow(db, QStringLiteral("InventoryClass"),
                  {{"cInvCCode", s(c.code)},
                   {"cInvCName", s(c.name)},
                   {"iInvCGrade", c.grade},
                   {"bInvCEnd", c.end}});
    int iid = 0;
    for (const ItemRow& it : kItems) {
        const bool goods = !(it.flags & (kService | kNonStock));
        const char* method = goods ? homeWarehouse(it).method : "";
        if (qstrcmp(it.code, "5013") == 0) method = "";  // an item whose method is still to be set
        const QString rcost = s(it.rcost);
        const QString sprice = s(it.sprice);
        insertRow(db, QStringLiteral("Inventory"),
                  {{"cInvCode", s(it.code)},
                   {"cInvAddCode", orNull(it.addCode)},
                   {"cInvName", s(it.name)},
                   {"cInvStd", orNull(it.std)},
                   {"cInvCCode", s(it.cls)},
                   {"cVenCode", orNull(it.vendor)},
                   {"cReplaceItem", orNull(it.replace)},
                   {"bService", (it.flags & kService) ? 1 : 0},
                   {"bInvType", (it.flags & kNonStock) ? 1 : 0},
                   {"iInvRCost", rcost.isEmpty() ? kNull : Decimal::fromText(rcost).toVariant()},
                   {"iInvSPrice", sprice.isEmpty() ? kNull : Decimal::fromText(sprice).toVariant()},
                   {"dSDate", QDate(2020, 1, 1)},
                   {"dEDate", *it.stop ? QVariant(QDate::fromString(s(it.stop), Qt::ISODate)) : kNull},
                   {"iId", ++iid},
                   {"cInvDefine1", orNull(it.origin)},
                   {"cInvDefine2", orNull(it.brand)},
                   {"cInvDefine13", goods && it.lot > 0 && it.lot <= 10 ? QVariant(850.5 * it.lot) : kNull},
                   {"cValueType", orNull(method)},
                   {"cComUnitCode", s(it.unit)},
                   {"bFree1", *it.free1 ? 1 : 0},
                   {"bFree2", *it.free2 ? 1 : 0},
                   {"bTrack", (it.flags & kTrack) ? 1 : 0},
                   {"iInvExchRate", Decimal(1).toVariant()}});
    }
    for (const WarehouseRow& w : kWarehouses)
        insertRow(db, QStringLiteral("Warehouse"),
                  {{"cWhCode", s(w.code)},
                   {"cWhName", s(w.name)},
                   {"cDepCode", s(w.dep)},
                   {"cWhValueStyle", orNull(w.method)}});
}

QString docCode(const char* prefix, const QDate& d, int n) {
    return QStringLiteral("%1%2%3")
        .arg(s(prefix), d.toString(QStringLiteral("yyMM")))
        .arg(n, 3, 10, QLatin1Char('0'));
}

struct OpeningLine {
    const ItemRow* item;
    Decimal qty, cost;
};

// Stock documents dated before the start: the stock module's openings, receipts
// (purchases '01', other receipts '08', finished goods '10') and issues (sales '32',
// other issues '09', materials '11'), purchase settlements, an unsettled purchase
// opening receipt and receipts of the first month. Returns the stock openings per
// warehouse.
QMap<QString, QList<OpeningLine>> writeStockDocuments(Database& db) {
    DocumentWriter w(db);
    QMap<QString, QList<OpeningLine>> openings;
    int codeNo = 0;

    // Stock openings, counted at the end of September.
    const QDate counted(2025, 9, 30);
    for (const WarehouseRow& wh : kWarehouses) {
        QList<OpeningLine> lines;
        int i = 0;
        for (const ItemRow& it : kItems) {
            ++i;
            if (!stocked(it) || qstrcmp(homeWarehouse(it).code, wh.code) != 0) continue;
            lines << OpeningLine{&it, openingQty(it, i), purchaseCost(it, i)};
        }
        if (qstrcmp(wh.code, "08") == 0)  // aluminium waiting for inspection
            lines << OpeningLine{&item("1012"), Decimal(200), dec("19.4")};
        if (lines.isEmpty()) continue;
        w.head({"34",
                1,
                "",
                "",
                wh.code,
                counted,
                docCode("QC", counted, ++codeNo),
                "06",
                "010",
                "",
                "",
                true,
                false,
                "库存期初",
                {}});
        for (const OpeningLine& l : lines) w.line(*l.item, l.qty, l.cost);
        openings[s(wh.code)] = lines;
    }

    // Purchases in October and November, settled before the start.
    const QDate oct(2025, 10, 15), nov(2025, 11, 18);
    QList<std::pair<int, Decimal>> octLines, novLines;
    QMap<int, Decimal> amounts;
    for (const char* whCode : {"01", "02", "04", "06", "07"}) {
        for (const QDate& d : {oct, nov}) {
            bool opened = false;
            int i = 0;
            for (const ItemRow& it : kItems) {
                ++i;
                if (!stocked(it) || qstrcmp(homeWarehouse(it).code, whCode) != 0) continue;
                if ((d == oct) != (i % 2 == 0)) continue;  // alternate items between the two months
                if (!opened) {
                    w.head({"01", 1, "普通采购", "101", whCode, d, docCode("RK", d, ++codeNo), "0301", "004",
                            it.vendor, "", false, false, "",
                            QStringLiteral("HT2025-%1").arg(codeNo, 3, 10, QLatin1Char('0'))});
                    opened = true;
                }
                const Decimal qty = Decimal(it.lot * (1 + (i + 1) % 2));
                const Decimal cost = purchaseCost(it, i + 1);
                const auto [autoId, written] =
                    w.line(it, qty, cost, qty.toVariant(),
                           qstrcmp(whCode, "02") == 0
                               ? QStringLiteral("B%1-%2").arg(d.toString(QStringLiteral("yyMM"))).arg(i)
                               : QString(),
                           QStringLiteral("ZJ-%1-%2")
                               .arg(d.toString(QStringLiteral("yyMMdd")))
                               .arg(i, 3, 10, QLatin1Char('0')));
                (d == oct ? octLines : novLines) << std::pair{autoId, written};
                amounts[autoId] = (written * cost).round(2);
            }
        }
    }

    // Finished motors and cabinets from the workshops.
    const QDate made(2025, 11, 10);
    for (const char* whCode : {"03", "05"}) {
        w.head({"10",
                1,
                "成品入库",
                "102",
                whCode,
                made,
                docCode("RK", made, ++codeNo),
                "0501",
                "008",
                "",
                "",
                false,
                false,
                "",
                {}});
        int i = 0;
        for (const ItemRow& it : kItems) {
            ++i;
            if (!stocked(it) || qstrcmp(homeWarehouse(it).code, whCode) != 0) continue;
            w.line(it, Decimal(it.lot), dec(it.rcost));
        }
    }

    // A stock-count surplus of chips.
    const QDate surplus(2025, 12, 5);
    w.head({"08",
            1,
            "盘盈入库",
            "103",
            "02",
            surplus,
            docCode("RK", surplus, ++codeNo),
            "06",
            "010",
            "",
            "",
            false,
            false,
            "年末盘点盘盈",
            {}});
    w.line(item("1103"), Decimal(120), dec("0.82"));
    w.line(item("1115"), Decimal(60), dec("0.88"));

    // Issues in December: materials to the workshops, sales, other issues.
    const QDate issued(2025, 12, 10);
    for (const char* whCode : {"01", "02", "04", "07"}) {
        w.head({"11",
                0,
                "领料",
                "202",
                whCode,
                issued,
                docCode("CK", issued, ++codeNo),
                "0501",
                "008",
                "",
                "",
                false,
                false,
                "",
                {}});
        int i = 0;
        for (const ItemRow& it : kItems) {
            ++i;
            if (!stocked(it) || qstrcmp(homeWarehouse(it).code, whCode) != 0 || i % 2 != 0) continue;
            w.line(it, Decimal(it.lot * (1 + i % 3)), purchaseCost(it, i));
        }
    }
    const QDate sold(2025, 12, 15);
    for (const char* whCode : {"03", "05", "06"}) {
        w.head({"32",
                0,
                "普通销售",
                "201",
                whCode,
                sold,
                docCode("CK", sold, ++codeNo),
                "0401",
                "006",
                "",
                "C001",
                false,
                false,
                "",
                {}});
        int i = 0;
        for (const ItemRow& it : kItems) {
            ++i;
            if (!stocked(it) || qstrcmp(homeWarehouse(it).code, whCode) != 0 || i % 2 != 0) continue;
            w.line(it, Decimal(it.lot), qstrcmp(whCode, "06") == 0 ? dec(it.sprice) : dec(it.rcost));
        }
    }
    const QDate other(2025, 12, 20);
    w.head({"09",
            0,
            "其他出库",
            "204",
            "07",
            other,
            docCode("CK", other, ++codeNo),
            "01",
            "001",
            "",
            "",
            false,
            false,
            "办公领用",
            {}});
    w.line(item("4011"), Decimal(300), dec("3.0"));
    w.line(item("4013"), Decimal(20), dec("26"));

    // Settlements: October receipts in November, November receipts in December.
    int settleLine = 0;
    auto settle = [&](int psvid, const char* code, const QDate& d,
                      const QList<std::pair<int, Decimal>>& lines) {
        insertRow(db, QStringLiteral("PurSettleVouch"),
                  {{"PSVID", psvid},
                   {"cPSVCode", s(code)},
                   {"dSVDate", d},
                   {"cBusType", s("普通采购")},
                   {"cMaker", s("王强")}});
        for (const auto& [autoId, qty] : lines) {
            if (autoId == 0) continue;
            insertRow(db, QStringLiteral("PurSettleVouchs"),
                      {{"ID", ++settleLine},
                       {"PSVID", psvid},
                       {"iRdsID", autoId},
                       {"iSVQuantity", qty.toVariant()},
                       {"iSVPrice", amounts.value(autoId).toVariant()},
                       {"bAccount", 0},
                       {"bIsPurAcc", 0}});
        }
    };
    settle(1, "JS2511001", QDate(2025, 11, 25), octLines);
    settle(2, "JS2512001", QDate(2025, 12, 20), novLines);

    // Goods received at the end of December whose invoices had not come: the
    // purchase module's opening estimate.
    const QDate late(2025, 12, 28);
    w.head({"01", 1, "普通采购", "101", "02", late, docCode("RK", late, ++codeNo), "0301", "005", "V004", "",
            false, true, "发票未到，暂估入库", QStringLiteral("HT2025-088")});
    w.line(item("1101"), Decimal(200), dec("8.3"), kNull, QStringLiteral("B2512-01"));
    w.line(item("1106"), Decimal(4), dec("850"), kNull, QStringLiteral("B2512-02"));

    // The first month: purchases (one partly settled) and a consignment receipt.
    const QDate jan(2026, 1, 6);
    w.head({"01", 1, "普通采购", "101", "01", jan, docCode("RK", jan, ++codeNo), "0301", "004", "V001", "",
            false, false, "", QStringLiteral("HT2026-001")});
    w.line(item("1001"), Decimal(5), dec("4180"), kNull);
    const auto [copperLine, copperQty] =
        w.line(item("1011"), Decimal(500), dec("73"), Decimal(200).toVariant());
    insertRow(db, QStringLiteral("PurSettleVouch"),
              {{"PSVID", 3},
               {"cPSVCode", s("JS2601001")},
               {"dSVDate", QDate(2026, 1, 10)},
               {"cBusType", s("普通采购")},
               {"cMaker", s("王强")}});
    insertRow(db, QStringLiteral("PurSettleVouchs"),
              {{"ID", ++settleLine},
               {"PSVID", 3},
               {"iRdsID", copperLine},
               {"iSVQuantity", Decimal(200).toVariant()},
               {"iSVPrice", (Decimal(200) * dec("73")).round(2).toVariant()},
               {"bAccount", 0},
               {"bIsPurAcc", 0}});
    Q_UNUSED(copperQty);
    const QDate consigned(2026, 1, 8);
    w.head({"01",
            1,
            "受托代销",
            "104",
            "06",
            consigned,
            docCode("RK", consigned, ++codeNo),
            "0302",
            "005",
            "V006",
            "",
            false,
            false,
            "受托代销商品",
            {}});
    w.line(item("3005"), Decimal(100), dec("11.5"));
    return openings;
}

// Opening rows already keyed into inventory accounting: warehouses 01, 02, 03 and
// 05, taken from the stock openings, with one quantity that differs and one item
// left out so that the reconciliation has something to report. 04, 06 and 07 are
// left to be fetched.
void writeOpeningRows(Database& db, const QMap<QString, QList<OpeningLine>>& openings) {
    const QDate keyed(2025, 12, 31);
    for (const char* whCode : {"01", "02", "03", "05"}) {
        const WarehouseRow* wh = nullptr;
        for (const WarehouseRow& w : kWarehouses)
            if (qstrcmp(w.code, whCode) == 0) wh = &w;
        const bool planned = qstrcmp(wh->method, "计划价法") == 0;
        int n = 0;
        for (const OpeningLine& l : openings.value(s(whCode))) {
            const ItemRow& it = *l.item;
            if (planned && !*it.rcost) continue;          // no planned price: cannot be entered
            if (qstrcmp(it.code, "2005") == 0) continue;  // not keyed yet
            ++n;
            Decimal qty = l.qty;
            if (qstrcmp(it.code, "1104") == 0) qty += Decimal(100);  // miscounted
            const Decimal actual = (qty * l.cost).round(2);
            Decimal cost = l.cost, amount = actual;
            QVariant debit, credit;
            if (planned) {
                cost = dec(it.rcost);
                amount = (qty * cost).round(2);
                const Decimal dif = actual - amount;
                if (dif.isNegative())
                    credit = (-dif).toVariant();
                else if (!dif.isZero())
                    debit = dif.toVariant();
            }
            // Lot-valued warehouses carry receipt numbers; elsewhere posting numbers them.
            QVariant vouCode;
            if (qstrcmp(whCode, "05") == 0 || (qstrcmp(whCode, "02") == 0 && n % 2 == 1))
                vouCode = QStringLiteral("QC%1-%2").arg(s(whCode)).arg(n, 4, 10, QLatin1Char('0'));
            const bool project = qstrcmp(it.code, "1013") == 0;
            insertRow(db, QStringLiteral("IA_Subsidiary"),
                      {{"bRdFlag", 1},
                       {"cWhCode", s(whCode)},
                       {"dVouDate", keyed},
                       {"cVouCode", vouCode},
                       {"cAccDep", s("06")},
                       {"iMonth", 0},
                       {"cInvHead", s(wh->subject)},
                       {"cVouType", s("34")},
                       {"cInvCode", s(it.code)},
                       {"cVenCode", orNull(it.vendor)},
                       {"cPersonCode", s("010")},
                       {"iAInQuantity", qty.toVariant()},
                       {"iInCost", cost.toVariant()},
                       {"iAInPrice", amount.toVariant()},
                       {"iDebitDifCost", debit},
                       {"iCreditDifCost", credit},
                       {"cBatchCode", qstrcmp(it.code, "1101") == 0 ? QVariant(s("B2509-01")) : kNull},
                       {"bFlag", 0},
                       {"bMoneyFlag", 1},
                       {"bSale", 0},
                       {"cDefine1", qstrcmp(it.code, "1003") == 0 ? QVariant(s("HT2025-018")) : kNull},
                       {"cFree1", orNull(it.free1)},
                       {"cFree2", orNull(it.free2)},
                       {"cItem_class", project ? QVariant(s("01")) : kNull},
                       {"cItemCName", project ? QVariant(s("研发项目")) : kNull},
                       {"cName", project ? QVariant(s("新型永磁同步电机研发")) : kNull},
                       {"cItemCode", project ? QVariant(s("YF001")) : kNull}});
        }
    }
}

// Dispatch notes and invoices before the start: instalment sales ('05', 分期收款)
// and consignment sales ('06', 委托代销), fully, partly and not invoiced, with
// unverified, invalidated and later invoices, an ordinary sale, a service line and
// a note of the first month that the fetch must leave alone.
void writeSales(Database& db) {
    struct Note {
        int dlid;
        const char *code, *type, *bus;
        QDate date;
        const char *dep, *person, *customer;
    };
    const Note notes[] = {
        {1, "FH2511001", "05", "分期收款", QDate(2025, 11, 8), "0401", "006", "C002"},
        {2, "FH2512001", "05", "分期收款", QDate(2025, 12, 12), "0402", "007", "C004"},
        {3, "FH2512002", "05", "普通销售", QDate(2025, 12, 5), "0401", "006", "C001"},
        {4, "WT2510001", "06", "委托代销", QDate(2025, 10, 20), "0401", "006", "C007"},
        {5, "WT2512001", "06", "委托代销", QDate(2025, 12, 18), "0401", "006", "C008"},
        {6, "FH2601001", "05", "分期收款", QDate(2026, 1, 6), "0402", "007", "C005"},
    };
    for (const Note& n : notes)
        insertRow(db, QStringLiteral("DispatchList"),
                  {{"DLID", n.dlid},
                   {"cDLCode", s(n.code)},
                   {"cVouchType", s(n.type)},
                   {"cBusType", s(n.bus)},
                   {"dDate", n.date},
                   {"cSTCode", s(qstrcmp(n.bus, "普通销售") == 0   ? "01"
                                 : qstrcmp(n.bus, "分期收款") == 0 ? "02"
                                                                   : "03")},
                   {"cDepCode", s(n.dep)},
                   {"cPersonCode", s(n.person)},
                   {"cCusCode", s(n.customer)},
                   {"cRdCode", s("201")},
                   {"cMaker", s("陈晨")},
                   {"cVerifier", s("赵立新")},
                   {"cMemo", n.dlid == 1 ? QVariant(s("分12期收款")) : kNull},
                   {"cDefine1", QStringLiteral("HT-XS-%1").arg(n.dlid, 3, 10, QLatin1Char('0'))}});

    struct Line {
        int autoId, dlid;
        const char *wh, *inv, *qty;
        const char* project;
    };
    const Line lines[] = {
        {1, 1, "03", "2001", "20", ""}, {2, 1, "03", "2003", "8", ""},  {3, 2, "05", "2011", "2", "YF001"},
        {4, 2, "03", "2021", "3", ""},  {5, 3, "06", "3001", "50", ""}, {6, 4, "06", "3011", "30", ""},
        {7, 4, "06", "3012", "20", ""}, {8, 5, "06", "3002", "40", ""}, {9, 5, "06", "9001", "1", ""},
        {10, 6, "03", "2002", "5", ""},
    };
    for (const Line& l : lines) {
        const ItemRow& it = item(l.inv);
        const bool project = *l.project;
        insertRow(db, QStringLiteral("DispatchLists"),
                  {{"AutoID", l.autoId},
                   {"iDLsID", 1000 + l.autoId},
                   {"DLID", l.dlid},
                   {"cWhCode", s(l.wh)},
                   {"cInvCode", s(l.inv)},
                   {"iQuantity", dec(l.qty).toVariant()},
                   {"cFree1", orNull(it.free1)},
                   {"cFree2", orNull(it.free2)},
                   {"cItem_class", project ? QVariant(s("01")) : kNull},
                   {"cItemCode", orNull(l.project)},
                   {"cItemName", project ? QVariant(s("新型永磁同步电机研发")) : kNull},
                   {"cItem_CName", project ? QVariant(s("研发项目")) : kNull}});
    }

    struct Invoice {
        int sbvid;
        const char *code, *bus;
        QDate date;
        const char *customer, *checker, *invalider;
    };
    const Invoice invoices[] = {
        {1, "XS2511001", "分期收款", QDate(2025, 11, 30), "C002", "张敏", ""},  // verified, before the start
        {2, "XS2512001", "分期收款", QDate(2025, 12, 10), "C002", "张敏", ""},
        {3, "XS2512002", "分期收款", QDate(2025, 12, 28), "C004", "", ""},    // not verified
        {4, "XS2601001", "分期收款", QDate(2026, 1, 8), "C004", "张敏", ""},  // after the start
        {5, "XS2512003", "委托", QDate(2025, 12, 31), "C007", "张敏", ""},
        {6, "XS2512004", "委托", QDate(2025, 12, 20), "C007", "张敏", "张敏"},  // invalidated
        {7, "XS2512005", "普通销售", QDate(2025, 12, 6), "C001", "张敏", ""},
    };
    for (const Invoice& v : invoices)
        insertRow(db, QStringLiteral("SaleBillVouch"),
                  {{"SBVID", v.sbvid},
                   {"cSBVCode", s(v.code)},
                   {"cVouchType", s("26")},
                   {"cBusType", s(v.bus)},
                   {"dDate", v.date},
                   {"cCusCode", s(v.customer)},
                   {"cDepCode", s("0401")},
                   {"cPersonCode", s("006")},
                   {"cMaker", s("陈晨")},
                   {"cChecker", orNull(v.checker)},
                   {"cInvalider", orNull(v.invalider)}});
    struct InvoiceLine {
        int autoId, sbvid, dispatchLine;
        const char *inv, *qty;
    };
    const InvoiceLine invoiceLines[] = {
        {1, 1, 1, "2001", "12"},  // instalment line 1 partly invoiced
        {2, 2, 2, "2003", "8"},   // instalment line 2 fully invoiced
        {3, 3, 3, "2011", "1"},   // invoiced only by an unverified invoice
        {4, 4, 4, "2021", "3"},   // invoiced after the start
        {5, 5, 6, "3011", "10"},  // consignment partly invoiced
        {6, 6, 7, "3012", "20"},  // only an invalidated invoice
        {7, 7, 5, "3001", "50"},
    };
    for (const InvoiceLine& l : invoiceLines)
        insertRow(db, QStringLiteral("SaleBillVouchs"),
                  {{"AutoID", l.autoId},
                   {"SBVID", l.sbvid},
                   {"iDLsID", 1000 + l.dispatchLine},
                   {"cInvCode", s(l.inv)},
                   {"iQuantity", dec(l.qty).toVariant()}});
}

}  // namespace

DemoInfo createDemo(Database& db) {
    initDatabase(db);
    Transaction tx(db);
    requireEmpty(db);
    writeAccountSettings(db, QStringLiteral("华信机电设备有限公司"));
    writeCommonDictionaries(db);
    writeItems(db);
    const auto openings = writeStockDocuments(db);
    writeOpeningRows(db, openings);
    writeSales(db);

    // The clerk keeps the raw-material and finished-goods warehouses (the finished
    // goods read-only), the sales departments and the warehouse staff, and the
    // items of classes 01 and 02.
    ClerkScope scope;
    scope.warehouses = {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03")};
    scope.writableWarehouses = {QStringLiteral("01"), QStringLiteral("02")};
    scope.departments = {QStringLiteral("0401"), QStringLiteral("0402"), QStringLiteral("06")};
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT iId FROM Inventory WHERE cInvCCode LIKE ? OR cInvCCode LIKE ? ORDER BY iId"),
        {QStringLiteral("01%"), QStringLiteral("02%")});
    while (q.next()) scope.inventoryIds << q.value(0).toInt();

    DemoInfo info;
    info.accountId = kAccount;
    info.year = kYear;
    info.users = createOperators(db, scope);
    tx.commit();
    return info;
}

}  // namespace qc::demo
