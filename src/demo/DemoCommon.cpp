#include "demo/DemoCommon.h"

#include "host/Users.h"
#include "platform/Database.h"

namespace qc::demo::detail {

void insertRow(Database& db, const QString& table, Values values) {
    QStringList cols, marks;
    QVariantList binds;
    for (const auto& [name, value] : values) {
        cols << QString::fromLatin1(name);
        marks << QStringLiteral("?");
        binds << value;
    }
    db.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
            binds);
}

void requireEmpty(Database& db) {
    if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM AccInformation")).toLongLong() > 0 ||
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM Inventory")).toLongLong() > 0)
        throw DbError(QStringLiteral("账套数据库中已有数据，不能再建立演示账套！"));
}

namespace {

const QVariant kNull;

QVariant text(const char* s) {
    return QString::fromUtf8(s);
}
QVariant textOrNull(const char* s) {
    return (s && *s) ? QVariant(QString::fromUtf8(s)) : kNull;
}

struct Param {
    const char* sys;
    const char* id;
    const char* name;
    const char* caption;
    const char* type;
    const char* value;
    const char* defaultValue;
};

}  // namespace

void writeAccountSettings(Database& db, const QString& unitName) {
    insertRow(
        db, QStringLiteral("UA_Account"),
        {{"cAcc_Id", kAccount}, {"cAcc_Name", text("演示账套")}, {"iYear", kYear}, {"cUnitName", unitName}});
    for (const char* sub : {"IA", "ST", "PU", "SA"})
        insertRow(db, QStringLiteral("UA_Account_Sub"),
                  {{"cAcc_Id", kAccount}, {"cSub_Id", text(sub)}, {"iYear", kYear}});
    for (int m = 1; m <= 12; ++m) {
        const QDate first(kYear, m, 1);
        insertRow(db, QStringLiteral("UA_Period"),
                  {{"cAcc_Id", kAccount},
                   {"iYear", kYear},
                   {"iId", m},
                   {"dBegin", first},
                   {"dEnd", first.addMonths(1).addDays(-1)}});
        insertRow(db, QStringLiteral("GL_mEnd"),
                  {{"iPeriod", m},
                   {"iYear", kYear},
                   {"bFlag", 0},
                   {"bFlag_IA", 0},
                   {"bFlag_PU", 0},
                   {"bFlag_ST", 0},
                   {"bFlag_SA", 0},
                   {"bFlag_GL", 0},
                   {"bFlag_AR", 0},
                   {"bFlag_AP", 0},
                   {"bFlag_FA", 0}});
    }

    static const Param params[] = {
        {"AA", "01", "iStrsQuanDecDgt", "存货数量小数位", "int", "2", "2"},
        {"AA", "02", "iStrsPriDecDgt", "存货单价小数位", "int", "2", "2"},
        {"AA", "03", "iNumDecDgt", "件数小数位", "int", "2", "2"},
        {"AA", "04", "iExchRateDecDgt", "换算率小数位", "int", "4", "2"},
        {"AA", "05", "cGoodClass", "存货分类编码方案", "string", "223", "223"},
        {"AA", "06", "cSysVersion", "行业性质", "string", "工业", "工业"},
        {"IA", "01", "cValueStyle", "核算方式", "string", "按仓库核算", "按仓库核算"},
        {"IA", "02", "dIAStartDate", "存货核算启用日期", "date", "2026-01-01", ""},
        {"IA", "03", "cEstimate", "暂估方式", "string", "月初回冲", "月初回冲"},
        {"IA", "04", "bFIFORedBlueCalc", "先进先出红蓝字回冲", "bool", "false", "false"},
        {"IA", "05", "blIFORedBlueCalc", "后进先出红蓝字回冲", "bool", "false", "false"},
        {"IA", "06", "bFIFOJTLCalc", "先进先出假退料计算", "bool", "false", "false"},
        {"IA", "07", "bLIFOJTLCalc", "后进先出假退料计算", "bool", "false", "false"},
        {"IA", "08", "bWarehouseCheck", "检查仓库权限", "bool", "true", "false"},
        {"IA", "09", "bDepartmentCheck", "检查部门权限", "bool", "true", "false"},
        {"IA", "10", "bInventoryCheck", "检查存货权限", "bool", "true", "false"},
        {"IA", "11", "bOperatorCheck", "检查操作员权限", "bool", "true", "false"},
        {"IA", "12", "cGetDataFqsk", "分期收款已取数", "bool", "FALSE", "FALSE"},
        {"IA", "13", "cGetDataWtdx", "委托代销已取数", "bool", "FALSE", "FALSE"},
        {"IA", "14", "bQCAccount", "期初已记账", "bool", "false", "false"},
        {"ST", "01", "dSTStartDate", "库存管理启用日期", "date", "2026-01-01", ""},
        {"ST", "02", "bWarehouseCheck", "检查仓库权限", "bool", "true", "false"},
        {"ST", "03", "bDepartmentCheck", "检查部门权限", "bool", "true", "false"},
        {"ST", "04", "bInventoryCheck", "检查存货权限", "bool", "true", "false"},
        {"ST", "05", "bOperatorCheck", "检查操作员权限", "bool", "true", "false"},
        {"PU", "01", "dPUStartDate", "采购管理启用日期", "date", "2026-01-01", ""},
        // Purchasing has posted its openings, so inventory accounting may post.
        {"PU", "02", "bQCAccount", "期初已记账", "bool", "true", "false"},
        {"SA", "01", "dSAStartDate", "销售管理启用日期", "date", "2026-01-01", ""},
    };
    for (const Param& p : params)
        insertRow(db, QStringLiteral("AccInformation"),
                  {{"cSysID", text(p.sys)},
                   {"cID", text(p.id)},
                   {"cName", text(p.name)},
                   {"cCaption", text(p.caption)},
                   {"cType", text(p.type)},
                   {"cValue", text(p.value)},
                   {"cDefault", textOrNull(p.defaultValue)}});
}

void writeCommonDictionaries(Database& db) {
    static const char* const units[][2] = {{"01", "个"}, {"02", "台"}, {"03", "千克"}, {"04", "吨"},
                                           {"05", "米"}, {"06", "套"}, {"07", "件"},   {"08", "箱"},
                                           {"09", "张"}, {"10", "次"}, {"11", "小时"}, {"12", "卷"},
                                           {"13", "把"}, {"14", "双"}, {"15", "顶"}};
    for (const auto& u : units)
        insertRow(db, QStringLiteral("ComputationUnit"),
                  {{"cComunitCode", text(u[0])}, {"cComUnitName", text(u[1])}});

    struct Dep {
        const char *code, *name;
        int grade, end;
        const char* head;
    };
    static const Dep deps[] = {
        {"01", "总经理办公室", 1, 1, "001"}, {"02", "财务部", 1, 1, "002"},
        {"03", "采购部", 1, 0, "004"},       {"0301", "采购一部", 2, 1, "004"},
        {"0302", "采购二部", 2, 1, "005"},   {"04", "销售部", 1, 0, "006"},
        {"0401", "华东销售部", 2, 1, "006"}, {"0402", "华北销售部", 2, 1, "007"},
        {"05", "生产部", 1, 0, "008"},       {"0501", "一车间", 2, 1, "008"},
        {"0502", "二车间", 2, 1, "009"},     {"06", "仓储部", 1, 1, "010"},
    };
    for (const Dep& d : deps)
        insertRow(db, QStringLiteral("Department"),
                  {{"cDepCode", text(d.code)},
                   {"cDepName", text(d.name)},
                   {"bDepEnd", d.end},
                   {"iDepGrade", d.grade},
                   {"cDepPerson", text(d.head)}});

    static const char* const persons[][3] = {
        {"001", "赵立新", "01"}, {"002", "张敏", "02"},   {"003", "李静", "02"},   {"004", "王强", "0301"},
        {"005", "刘洋", "0302"}, {"006", "陈晨", "0401"}, {"007", "杨帆", "0402"}, {"008", "周建国", "0501"},
        {"009", "吴磊", "0502"}, {"010", "孙丽", "06"},
    };
    for (const auto& p : persons)
        insertRow(db, QStringLiteral("Person"),
                  {{"cPersonCode", text(p[0])}, {"cPersonName", text(p[1])}, {"cDepCode", text(p[2])}});

    static const char* const vendorClasses[][2] = {
        {"01", "原材料供应商"}, {"02", "电子元件供应商"}, {"03", "商品及辅料供应商"}, {"04", "配件供应商"}};
    for (const auto& c : vendorClasses)
        insertRow(db, QStringLiteral("VendorClass"),
                  {{"cVCCode", text(c[0])}, {"cVCName", text(c[1])}, {"iVCGrade", 1}, {"bVCEnd", 1}});
    static const char* const vendors[][4] = {
        {"V001", "鞍山钢铁集团有限公司", "鞍钢", "01"},
        {"V002", "江西铜业股份有限公司", "江铜", "01"},
        {"V003", "宝山钢铁股份有限公司", "宝钢", "01"},
        {"V004", "深圳华强电子有限公司", "华强电子", "02"},
        {"V005", "上海贝岭微电子有限公司", "贝岭微电子", "02"},
        {"V006", "苏州五金工具有限公司", "苏州五金", "03"},
        {"V007", "杭州包装材料有限公司", "杭州包材", "03"},
        {"V008", "洛阳轴承集团有限公司", "洛轴", "04"},
    };
    for (const auto& v : vendors)
        insertRow(db, QStringLiteral("Vendor"),
                  {{"cVenCode", text(v[0])},
                   {"cVenName", text(v[1])},
                   {"cVenAbbName", text(v[2])},
                   {"cVCCode", text(v[3])}});

    static const char* const customerClasses[][2] = {
        {"01", "华东客户"}, {"02", "华北客户"}, {"03", "代销商"}};
    for (const auto& c : customerClasses)
        insertRow(db, QStringLiteral("CustomerClass"),
                  {{"cCCCode", text(c[0])}, {"cCCName", text(c[1])}, {"iCCGrade", 1}, {"bCCEnd", 1}});
    static const char* const customers[][4] = {
        {"C001", "上海宏达机电设备有限公司", "宏达机电", "01"},
        {"C002", "南京重工机械有限公司", "南京重工", "01"},
        {"C003", "杭州新能源科技有限公司", "杭州新能源", "01"},
        {"C004", "北京京城电力工程有限公司", "京城电力", "02"},
        {"C005", "天津港机械制造有限公司", "天津港机", "02"},
        {"C006", "河北钢铁集团有限公司", "河钢集团", "02"},
        {"C007", "苏州恒通五金商行", "恒通五金", "03"},
        {"C008", "无锡明达工具经销部", "明达工具", "03"},
    };
    for (const auto& c : customers)
        insertRow(db, QStringLiteral("Customer"),
                  {{"cCusCode", text(c[0])},
                   {"cCusName", text(c[1])},
                   {"cCusAbbName", text(c[2])},
                   {"cCCCode", text(c[3])}});

    struct Subject {
        const char *code, *name;
        int grade, end;
    };
    static const Subject subjects[] = {
        {"1402", "在途物资", 1, 1},           {"1403", "原材料", 1, 0},
        {"140301", "原料及主要材料", 2, 1},   {"140302", "电子元器件", 2, 1},
        {"140303", "备品备件", 2, 1},         {"1404", "材料成本差异", 1, 1},
        {"1405", "库存商品", 1, 0},           {"140501", "产成品", 2, 1},
        {"140502", "外购商品", 2, 1},         {"1406", "发出商品", 1, 0},
        {"140601", "分期收款发出商品", 2, 1}, {"140602", "委托代销发出商品", 2, 1},
        {"1407", "商品进销差价", 1, 1},       {"1411", "周转材料", 1, 0},
        {"141101", "包装物", 2, 1},           {"141102", "低值易耗品", 2, 1},
        {"5001", "生产成本", 1, 1},
    };
    for (const Subject& s : subjects)
        insertRow(
            db, QStringLiteral("code"),
            {{"cCode", text(s.code)}, {"cCode_Name", text(s.name)}, {"iGrade", s.grade}, {"bEnd", s.end}});

    struct RdStyle {
        const char *code, *name;
        int flag, grade, end;
    };
    static const RdStyle styles[] = {
        {"1", "入库类别", 1, 1, 0},   {"101", "采购入库", 1, 2, 1}, {"102", "产成品入库", 1, 2, 1},
        {"103", "盘盈入库", 1, 2, 1}, {"104", "其他入库", 1, 2, 1}, {"2", "出库类别", 0, 1, 0},
        {"201", "销售出库", 0, 2, 1}, {"202", "材料领用", 0, 2, 1}, {"203", "盘亏出库", 0, 2, 1},
        {"204", "其他出库", 0, 2, 1},
    };
    for (const RdStyle& s : styles)
        insertRow(db, QStringLiteral("Rd_Style"),
                  {{"cRdCode", text(s.code)},
                   {"cRdName", text(s.name)},
                   {"bRdFlag", s.flag},
                   {"iRdGrade", s.grade},
                   {"bRdEnd", s.end}});

    // Project class 01 lists its projects in fitemss01; class 02 uses the inventory
    // items themselves as projects.
    insertRow(db, QStringLiteral("fitem"),
              {{"cItem_Class", text("01")}, {"cItem_Name", text("研发项目")}, {"cTable", text("fitemss01")}});
    insertRow(db, QStringLiteral("fitem"),
              {{"cItem_Class", text("02")}, {"cItem_Name", text("存货项目")}, {"cTable", text("INVENTORY")}});
    static const char* const projects[][3] = {
        {"YF001", "新型永磁同步电机研发", "0"},
        {"YF002", "高效变频控制柜研发", "0"},
        {"YF003", "智能电机监测系统", "0"},
        {"YF004", "老型号电机改造", "1"},
    };
    for (const auto& p : projects)
        insertRow(db, QStringLiteral("fitemss01"),
                  {{"citemcode", text(p[0])},
                   {"citemname", text(p[1])},
                   {"citemccode", text("1")},
                   {"bclose", QString::fromLatin1(p[2]).toInt()}});

    // User-defined items. Every id has its row; an unnamed item has an empty caption
    // so that its columns stay hidden.
    struct Def {
        const char *id, *cls, *item, *name, *type;
        int length, check, archive;
    };
    static const Def named[] = {
        {"20", "", "自由项1", "颜色", "文本", 20, 1, 1},
        {"21", "", "自由项2", "电压等级", "文本", 20, 0, 1},
        {"17", "存货", "自定义项1", "产地", "文本", 20, 0, 1},
        {"18", "存货", "自定义项2", "品牌", "文本", 20, 0, 0},
        {"61", "存货", "自定义项13", "单件重量", "数值", 0, 0, 0},
        {"01", "单据头", "自定义项1", "合同号", "文本", 20, 0, 0},
        {"04", "单据头", "自定义项4", "交货日期", "日期", 0, 0, 0},
        {"22", "单据体", "自定义项22", "质检单号", "文本", 60, 0, 0},
        {"26", "单据体", "自定义项26", "折扣率", "数值", 0, 0, 0},
    };
    auto findNamed = [](const QString& id) -> const Def* {
        for (const Def& d : named)
            if (id == QString::fromLatin1(d.id)) return &d;
        return nullptr;
    };
    auto writeDef = [&](const QString& id, const QString& cls, const QString& item, int length) {
        const Def* d = findNamed(id);
        const int len = d ? d->length : length;
        insertRow(db, QStringLiteral("UserDef"),
                  {{"cID", id},
                   {"cClass", cls.isEmpty() ? kNull : QVariant(cls)},
                   {"cItem", item},
                   {"cItemName", d ? text(d->name) : QVariant(QStringLiteral(""))},
                   {"cType", d ? text(d->type) : text("文本")},
                   {"iLong", len},
                   {"iLength", len},
                   {"bCheckVal", d ? d->check : 0},
                   {"bArchive", d ? d->archive : 0}});
    };
    const QString freeIds[] = {QStringLiteral("20"), QStringLiteral("21"), QStringLiteral("28"),
                               QStringLiteral("29"), QStringLiteral("30"), QStringLiteral("31"),
                               QStringLiteral("32"), QStringLiteral("33"), QStringLiteral("34"),
                               QStringLiteral("35")};
    for (int i = 0; i < 10; ++i) writeDef(freeIds[i], QString(), QStringLiteral("自由项%1").arg(i + 1), 20);
    auto idOf = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    for (int i = 1; i <= 16; ++i)  // inventory items 1-3 are ids 17-19, 4-16 are 52-64
        writeDef(idOf(i <= 3 ? 16 + i : 48 + i), QStringLiteral("存货"), QStringLiteral("自定义项%1").arg(i),
                 60);
    for (int i = 1; i <= 16; ++i)  // document head 1-10 are ids 01-10, 11-16 are 36-41
        writeDef(idOf(i <= 10 ? i : 25 + i), QStringLiteral("单据头"), QStringLiteral("自定义项%1").arg(i),
                 20);
    for (int i = 22; i <= 37; ++i)  // document lines 22-27 are ids 22-27, 28-37 are 42-51
        writeDef(idOf(i <= 27 ? i : i + 14), QStringLiteral("单据体"), QStringLiteral("自定义项%1").arg(i),
                 60);

    static const char* const values[][3] = {
        {"20", "红色", "红"}, {"20", "蓝色", "蓝"}, {"20", "黑色", "黑"}, {"20", "灰色", "灰"},
        {"21", "220V", ""},   {"21", "380V", ""},   {"21", "660V", ""},   {"17", "上海", ""},
        {"17", "江苏", ""},   {"17", "浙江", ""},   {"17", "辽宁", ""},   {"17", "广东", ""},
    };
    for (const auto& v : values)
        insertRow(db, QStringLiteral("UserDefine"),
                  {{"cID", text(v[0])}, {"cValue", text(v[1])}, {"cAlias", textOrNull(v[2])}});
}

QList<DemoUser> createOperators(Database& db, const ClerkScope& scope) {
    const DemoUser demo{QStringLiteral("demo"), QStringLiteral("张敏"), QStringLiteral("demo123"),
                        QStringLiteral("账套主管：全部功能权限，不受数据权限限制")};
    const DemoUser clerk{
        QStringLiteral("clerk"), QStringLiteral("李静"), QStringLiteral("clerk123"),
        QStringLiteral("存货会计：期初录入、取数、发出商品、汇总与对账，无期初记账权限；仅能操作仓库 %1、"
                       "部门 %2 和部分存货")
            .arg(scope.warehouses.join(QLatin1Char(',')), scope.departments.join(QLatin1Char(',')))};
    Users::createUser(db, demo.userId, demo.userName, demo.password, true);
    Users::createUser(db, clerk.userId, clerk.userName, clerk.password, false);
    // Editing, adding and fetching openings, and the dispatched-goods windows; not
    // "ASM3102" (posting and cancelling the posting).
    for (const char* f :
         {"ASM310101", "ASM310102", "ASM310103", "IA001002", "IA001003", "IA001102", "IA001103"})
        Users::grantFunction(db, clerk.userId, QString::fromLatin1(f));
    const QString wh = QStringLiteral("Warehouse"), dep = QStringLiteral("Department"),
                  inv = QStringLiteral("Inventory");
    Users::restrict(db, clerk.userId, wh);
    Users::restrict(db, clerk.userId, dep);
    Users::restrict(db, clerk.userId, inv);
    for (const QString& w : scope.warehouses)
        Users::grantData(db, clerk.userId, wh, w, scope.writableWarehouses.contains(w));
    for (const QString& d : scope.departments) Users::grantData(db, clerk.userId, dep, d, true);
    for (int id : scope.inventoryIds) Users::grantData(db, clerk.userId, inv, QString::number(id), true);
    return {demo, clerk};
}

}  // namespace qc::demo::detail
