#include "db/demo_data.h"

#include <cstdio>
#include <iterator>

#include "db/dialect.h"
#include "db/schema.h"

namespace print::db {
namespace detail {
extern const std::string_view kDemoDefinition_d_printcharge_2;
extern const std::string_view kDemoDefinition_d_printcharge_3;
extern const std::string_view kDemoDefinition_d_demo_settle_detail;
}  // namespace detail

namespace {

struct Goods {
    const char* name;
    const char* guige;  // pack size
    const char* unit;
    const char* category;
    int supplier;  // index into kSuppliers
    const char* inprice;
    const char* saleprice;
};

struct Supplier {
    const char* id;
    const char* name;
    const char* address;
    const char* phone;
    const char* bank;
    const char* account;
    const char* taxno;
};

const Supplier kSuppliers[] = {
    {"G0101", "南京金穗粮油贸易有限公司", "南京市江宁区秣陵街道粮油路8号", "025-52101188",
     "中国工商银行南京江宁支行", "4301012309100234561", "91320115MA1X8K2Q3N"},
    {"G0102", "江苏鲜达乳业有限公司", "扬州市邗江区乳业大道66号", "0514-87321560",
     "中国农业银行扬州分行", "10178101040012345", "91321003MA1M9P7L2D"},
    {"G0103", "苏州味源食品有限公司", "苏州市吴中区木渎镇金枫路128号", "0512-66235870",
     "中国银行苏州吴中支行", "53885821007612", "91320506MA1N3R5T8K"},
    {"G0104", "上海洁净日化用品有限公司", "上海市嘉定区安亭镇墨玉路55号", "021-59576688",
     "交通银行上海嘉定支行", "310066726018010123456", "91310114MA1GT2W63B"},
    {"G0105", "无锡清泉饮料有限公司", "无锡市惠山区堰桥街道锡澄路302号", "0510-83598812",
     "中国建设银行无锡惠山支行", "32050161623600001234", "91320206MA1Q2H4E9X"},
    {"G0106", "南京鑫和副食品批发部", "南京市秦淮区南湖路农贸市场B区12号", "025-52287731",
     "南京银行秦淮支行", "0165270000001234", "92320104MA1P8Y0C5R"},
};

const Goods kGoods[] = {
    {"金穗东北大米", "5kg", "袋", "粮油", 0, "28.50", "35.90"},
    {"金穗五常稻花香大米", "10kg", "袋", "粮油", 0, "79.00", "98.00"},
    {"金穗压榨花生油", "5L", "桶", "粮油", 0, "88.00", "109.90"},
    {"金穗玉米油", "5L", "桶", "粮油", 0, "52.00", "65.90"},
    {"金穗大豆油", "5L", "桶", "粮油", 0, "41.50", "52.90"},
    {"金穗高筋小麦粉", "2.5kg", "袋", "粮油", 0, "13.20", "16.80"},
    {"金穗挂面", "1kg", "袋", "粮油", 0, "6.30", "8.50"},
    {"金穗小米", "1kg", "袋", "粮油", 0, "9.80", "12.90"},
    {"金穗红豆", "500g", "袋", "粮油", 0, "6.60", "8.90"},
    {"金穗绿豆", "500g", "袋", "粮油", 0, "5.90", "7.90"},
    {"鲜达纯牛奶", "250ml×24", "箱", "乳品", 1, "48.00", "59.90"},
    {"鲜达低脂牛奶", "250ml×24", "箱", "乳品", 1, "50.00", "62.90"},
    {"鲜达原味酸奶", "200g×8", "组", "乳品", 1, "15.20", "19.80"},
    {"鲜达草莓酸奶", "200g×8", "组", "乳品", 1, "15.20", "19.80"},
    {"鲜达鲜牛奶", "950ml", "盒", "乳品", 1, "11.00", "14.50"},
    {"鲜达儿童成长奶", "190ml×12", "箱", "乳品", 1, "33.00", "42.00"},
    {"鲜达奶酪棒", "500g", "袋", "乳品", 1, "29.50", "38.80"},
    {"鲜达核桃奶", "250ml×12", "箱", "乳品", 1, "26.00", "33.60"},
    {"鲜达巴氏杀菌乳", "450ml", "瓶", "乳品", 1, "6.40", "8.50"},
    {"鲜达黄油", "227g", "块", "乳品", 1, "18.00", "23.90"},
    {"味源五香瓜子", "500g", "袋", "休闲食品", 2, "9.50", "12.80"},
    {"味源原味薯片", "135g", "袋", "休闲食品", 2, "5.20", "7.50"},
    {"味源苏式月饼", "400g", "盒", "休闲食品", 2, "22.00", "29.90"},
    {"味源牛肉干", "200g", "袋", "休闲食品", 2, "24.00", "32.00"},
    {"味源苏打饼干", "400g", "盒", "休闲食品", 2, "8.80", "11.90"},
    {"味源酱油", "500ml", "瓶", "调味品", 2, "6.20", "8.50"},
    {"味源香醋", "500ml", "瓶", "调味品", 2, "5.40", "7.20"},
    {"味源料酒", "500ml", "瓶", "调味品", 2, "4.80", "6.50"},
    {"味源精制食盐", "400g", "袋", "调味品", 2, "1.60", "2.50"},
    {"味源白砂糖", "454g", "袋", "调味品", 2, "4.30", "5.90"},
    {"洁净洗衣液", "3kg", "瓶", "日化", 3, "26.00", "35.90"},
    {"洁净洗洁精", "1.5kg", "瓶", "日化", 3, "9.60", "13.50"},
    {"洁净抽纸", "3层130抽×6包", "提", "日化", 3, "14.80", "19.90"},
    {"洁净卷纸", "4层200g×10卷", "提", "日化", 3, "22.50", "29.90"},
    {"洁净牙膏", "120g", "支", "日化", 3, "8.40", "11.80"},
    {"洁净洗发水", "750ml", "瓶", "日化", 3, "32.00", "45.00"},
    {"洁净沐浴露", "750ml", "瓶", "日化", 3, "28.00", "39.00"},
    {"洁净香皂", "125g×3", "组", "日化", 3, "9.00", "12.50"},
    {"洁净消毒液", "1L", "瓶", "日化", 3, "11.50", "15.80"},
    {"洁净垃圾袋", "45×50cm×100只", "卷", "日化", 3, "7.20", "9.90"},
    {"清泉饮用天然水", "550ml×24", "箱", "饮料", 4, "18.00", "24.00"},
    {"清泉橙汁", "1L", "瓶", "饮料", 4, "7.60", "9.90"},
    {"清泉绿茶", "500ml×15", "箱", "饮料", 4, "33.00", "45.00"},
    {"清泉冰红茶", "500ml×15", "箱", "饮料", 4, "33.00", "45.00"},
    {"清泉苏打水", "410ml×15", "箱", "饮料", 4, "36.00", "49.50"},
    {"清泉运动饮料", "600ml", "瓶", "饮料", 4, "3.60", "5.00"},
    {"清泉椰汁", "1.25L", "瓶", "饮料", 4, "10.80", "14.50"},
    {"清泉凉茶", "310ml×24", "箱", "饮料", 4, "48.00", "62.40"},
    {"清泉柠檬茶", "500ml", "瓶", "饮料", 4, "2.90", "4.00"},
    {"清泉酸梅汤", "1.5L", "瓶", "饮料", 4, "8.50", "11.90"},
    {"鑫和速冻水饺", "1kg", "袋", "冷冻食品", 5, "17.50", "23.90"},
    {"鑫和汤圆", "500g", "袋", "冷冻食品", 5, "8.90", "12.50"},
    {"鑫和盐水鸭", "1kg", "只", "熟食", 5, "36.00", "48.00"},
    {"鑫和鸭血粉丝", "280g", "袋", "方便食品", 5, "6.80", "9.50"},
    {"鑫和方便面", "5连包", "组", "方便食品", 5, "9.20", "12.50"},
    {"鑫和火腿肠", "60g×10", "袋", "肉制品", 5, "11.00", "14.90"},
    {"鑫和咸鸭蛋", "6枚", "盒", "蛋品", 5, "10.50", "14.80"},
    {"鑫和鲜鸡蛋", "30枚", "盒", "蛋品", 5, "19.80", "25.90"},
    {"鑫和豆腐干", "250g", "袋", "豆制品", 5, "4.20", "5.80"},
    {"鑫和腌笃鲜料包", "350g", "袋", "调味品", 5, "12.00", "16.80"},
};

const char* const kStores[] = {"中山南路店",   "新街口店", "河西万达店", "仙林店",
                               "江宁百家湖店", "鼓楼店",   "迈皋桥店",   "浦口大桥店",
                               "奥体店",       "光华路店", "龙江店",     "雨花台店"};
const char* const kStreets[] = {"中山南路218号", "中山路88号",          "江东中路98号",
                                "学海路1号",     "双龙大道1118号",      "中山北路101号",
                                "和燕路251号",   "江浦街道大桥北路3号", "江东中路222号",
                                "光华路196号",   "龙园西路58号",        "雨花东路10号"};

struct BillMain {
    const char* id;
    const char* name;
    const char* status;
};
const BillMain kBills[] = {
    {"101", "商品验收单", "Y"},   {"102", "商品退货单", "N"}, {"305", "采购订单", "Y"},
    {"508", "供应商结算单", "Y"}, {"509", "代销结算单", "Y"}, {"J01", "供应商费用单", "Y"},
    {"J02", "促销费用单", "Y"},   {"J03", "门店费用单", "Y"},
};

struct BillHead {
    const char* billid;
    const char* billno;
    const char* billdate;
    int store;
    int supplier;
    const char* seqno;  // settlement of a settlement or charge bill
    const char* djlb;   // its category in T_SUPPLYBALANCE
    const char* xdrq;   // first delivery of an order
    const char* jhrq;   // last delivery of an order
    const char* memo;
};
const BillHead kHeads[] = {
    {"101", "YS20240315001", "2024-03-15", 0, 0, nullptr, nullptr, nullptr, nullptr,
     "整车到货，外包装完好。"},
    {"102", "TH20240316001", "2024-03-16", 0, 1, nullptr, nullptr, nullptr, nullptr,
     "临期退货，已作废。"},
    {"305", "DH20240318001", "2024-03-18", 1, 1, nullptr, nullptr, "2024-03-25", "2024-04-10",
     "请按约定时间送货，送货时请携带本订单及质检报告；冷链商品全程2-6℃。"},
    {"508", "JS20240331001", "2024-03-31", 0, 0, "SB202403001", "1", nullptr, nullptr,
     "三月份经销结算。"},
    {"509", "JS20240331002", "2024-03-31", 0, 2, "SB202403002", "2", nullptr, nullptr,
     "三月份代销结算，按实际销售结算。"},
    {"J01", "FY20240401001", "2024-04-01", 0, 3, "SB202403003", "9", nullptr, nullptr,
     "供应商年度合同费用，从货款中扣除。"},
    {"J02", "FY20240401002", "2024-04-01", 4, 4, "SB202403004", "2", nullptr, nullptr,
     "清明节促销活动费用。"},
    {"J03", "FY20240401003", "2024-04-01", 8, 5, "SB202403005", "3", nullptr, nullptr,
     "门店店庆费用分摊。"},
};

struct Line {
    int goods;  // index into kGoods
    const char* qty;
};
// Bill lines: (bill id, gift?, lines).
const Line kReceiving[] = {{0, "40"},  {2, "20"}, {3, "30"}, {5, "50"},
                           {6, "100"}, {7, "36"}, {8, "48"}, {9, "48"}};
const Line kReturn[] = {{12, "16"}, {13, "24"}, {18, "30"}};
const Line kOrder[] = {{10, "50"}, {11, "30"}, {12, "80"}, {13, "60"},  {14, "120"},
                       {15, "40"}, {16, "20"}, {17, "30"}, {18, "200"}, {19, "24"}};
const Line kOrderGifts[] = {{14, "12"}, {18, "20"}};

struct SettleLine {
    const char* refno;
    const char* refkind;
    const char* refdate;
    int store;
    const char* hspsje;
};
const SettleLine kSettle508[] = {
    {"YS20240302003", "验收单", "2024-03-02", 0, "12580.50"},
    {"YS20240306011", "验收单", "2024-03-06", 1, "8640.00"},
    {"YS20240309002", "验收单", "2024-03-09", 2, "15320.80"},
    {"TH20240312001", "退货单", "2024-03-12", 1, "-1268.40"},
    {"YS20240315001", "验收单", "2024-03-15", 0, "6389.60"},
    {"YS20240321007", "验收单", "2024-03-21", 4, "9954.00"},
    {"YS20240328004", "验收单", "2024-03-28", 3, "11206.30"},
};
const SettleLine kSettle509[] = {
    {"XS202403-S001", "代销销售", "2024-03-31", 0, "4820.60"},
    {"XS202403-S002", "代销销售", "2024-03-31", 1, "6312.90"},
    {"XS202403-S003", "代销销售", "2024-03-31", 2, "3987.40"},
    {"XS202403-S005", "代销销售", "2024-03-31", 4, "5120.00"},
    {"XS202403-S009", "代销销售", "2024-03-31", 8, "2766.80"},
};

struct Charge {
    const char* code;
    const char* name;
    const char* amount;
    const char* memo;
};
const Charge kChargesJ01[] = {{"F01", "进场费", "5000.00", "新品进场，合同第3条"},
                              {"F02", "条码费", "1200.00", "60个单品，每个20元"},
                              {"F05", "年节费", "1500.00", "春节"},
                              {"F09", "信息系统使用费", "600.00", "全年"}};
const Charge kChargesJ02[] = {{"F03", "堆头陈列费", "3000.00", "4个门店端架，各两周"},
                              {"F04", "DM海报费", "800.00", "第14期海报"},
                              {"F07", "促销员管理费", "1200.00", "2名促销员"}};
const Charge kChargesJ03[] = {{"F06", "店庆促销费", "2000.00", "奥体店开业三周年"},
                              {"F08", "门店陈列费", "960.00", "收银台货架"}};

std::string storeId(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "S%03d", i + 1);
    return buf;
}

std::string goodsId(int i) {
    return std::to_string(100001 + i);
}

// EAN-13 with its check digit, so that the barcodes look real.
std::string barcode(int i) {
    std::string code = "690" + std::to_string(5123400 + i * 7) + "00";
    code = code.substr(0, 12);
    int sum = 0;
    for (int k = 0; k < 12; ++k) sum += (code[k] - '0') * (k % 2 == 0 ? 1 : 3);
    return code + std::to_string((10 - sum % 10) % 10);
}

Decimal dec(const char* text) {
    return *Decimal::parse(text);
}

Decimal taxOf(const Decimal& grossAmount, int ratePercent) {
    return Decimal::divide(grossAmount * Decimal(ratePercent), Decimal(100 + ratePercent))
        ->round(2);
}

int taxRate(const Goods& g) {
    std::string_view c = g.category;
    return c == "粮油" || c == "乳品" || c == "蛋品" ? 9 : 13;
}

// Runs one statement and turns a failure into an Error naming it.
class Loader {
public:
    explicit Loader(Transaction& sqlca) : m_sqlca(sqlca) {}

    Status exec(std::string_view what, std::string_view sql, const std::vector<Value>& params) {
        if (m_sqlca.execute(sql, params) < 0)
            return Error{"demo data, " + std::string(what) + ": " + m_sqlca.sqlErrText()};
        return {};
    }

    Result<bool> exists(std::string_view sql, const std::vector<Value>& params) {
        std::vector<Value> row;
        long code = m_sqlca.selectInto(sql, params, row, {ValueType::Long});
        if (code != 0) return Error{"demo data: " + m_sqlca.sqlErrText()};
        return row[0].asLong() > 0;
    }

private:
    Transaction& m_sqlca;
};

Status loadHostRows(Loader& db) {
    for (const BillMain& b : kBills) {
        auto found = db.exists("SELECT count(*) FROM T_BILLMAIN WHERE billid = :id", {b.id});
        if (!found) return found.error();
        if (found.value()) continue;
        if (Status s = db.exec("T_BILLMAIN",
                               "INSERT INTO T_BILLMAIN (billid, billname, billstatus) "
                               "VALUES (:id, :name, :status)",
                               {b.id, b.name, b.status});
            !s)
            return s;
    }
    const std::pair<const char*, const char*> params[] = {
        {"01", "鑫源连锁超市有限公司"},
        {"02", "江苏省南京市秦淮区中山南路218号鑫源大厦"},
        {"06", "025-84561234"},
        {"PT", "3"},
    };
    for (const auto& [code, value] : params) {
        auto found = db.exists("SELECT count(*) FROM t_Privatepara WHERE code = :code", {code});
        if (!found) return found.error();
        if (found.value()) continue;
        if (Status s = db.exec("t_Privatepara",
                               "INSERT INTO t_Privatepara (code, value) VALUES (:code, :value)",
                               {code, value});
            !s)
            return s;
    }
    for (const BillHead& h : kHeads) {
        if (!h.seqno) continue;
        auto found =
            db.exists("SELECT count(*) FROM T_SUPPLYBALANCE WHERE seqno = :seqno", {h.seqno});
        if (!found) return found.error();
        if (found.value()) continue;
        if (Status s = db.exec("T_SUPPLYBALANCE",
                               "INSERT INTO T_SUPPLYBALANCE (seqno, djlb) VALUES (:seqno, :djlb)",
                               {h.seqno, h.djlb});
            !s)
            return s;
    }
    return {};
}

Status loadMasterData(Loader& db) {
    for (int i = 0; i < 12; ++i) {
        std::string name = std::string("鑫源超市") + kStores[i];
        std::string address = std::string("南京市") + kStreets[i];
        std::string phone = "025-8" + std::to_string(4561200 + i * 37);
        if (Status s = db.exec("T_DEMO_STORE",
                               "INSERT INTO T_DEMO_STORE (storeid, storeno, storename, address, "
                               "phone) VALUES (:id, :no, :name, :address, :phone)",
                               {storeId(i), i + 1, name, address, phone});
            !s)
            return s;
    }
    for (const Supplier& s : kSuppliers) {
        if (Status st = db.exec("T_DEMO_SUPPLIER",
                                "INSERT INTO T_DEMO_SUPPLIER (supid, supname, address, phone, "
                                "bank, account, taxno) VALUES (:id, :name, :address, :phone, "
                                ":bank, :account, :taxno)",
                                {s.id, s.name, s.address, s.phone, s.bank, s.account, s.taxno});
            !st)
            return st;
    }
    int i = 0;
    for (const Goods& g : kGoods) {
        if (Status s = db.exec(
                "T_DEMO_GOODS",
                "INSERT INTO T_DEMO_GOODS (goodsid, goodsno, barcode, goodsname, guige, "
                "unit, category, supid, inprice, saleprice, taxrate) VALUES (:id, :no, "
                ":barcode, :name, :guige, :unit, :category, :supid, :inprice, "
                ":saleprice, :taxrate)",
                {goodsId(i), i + 1, barcode(i), g.name, g.guige, g.unit, g.category,
                 kSuppliers[g.supplier].id, dec(g.inprice), dec(g.saleprice), Decimal(taxRate(g))});
            !s)
            return s;
        ++i;
    }
    return {};
}

Status loadLines(Loader& db, const char* billid, const Line* lines, size_t count, bool gift) {
    std::string billno = demoBillNo(billid);
    for (size_t k = 0; k < count; ++k) {
        const Goods& g = kGoods[lines[k].goods];
        Decimal qty = dec(lines[k].qty);
        Decimal price = gift ? Decimal(0) : dec(g.inprice);
        if (Status s =
                db.exec("T_DEMO_BILLDETAIL",
                        "INSERT INTO T_DEMO_BILLDETAIL (billid, billno, rowno, goodsid, "
                        "qty, price, amount, gift, remark) VALUES (:billid, :billno, "
                        ":rowno, :goodsid, :qty, :price, :amount, :gift, :remark)",
                        {billid, billno, static_cast<int>(k + 1), goodsId(lines[k].goods), qty,
                         price, (qty * price).round(2), gift ? "Y" : "N", gift ? "厂家赠品" : ""});
            !s)
            return s;
    }
    return {};
}

Status loadSettlement(Loader& db, const char* billid, const SettleLine* lines, size_t count) {
    std::string billno = demoBillNo(billid);
    for (size_t k = 0; k < count; ++k) {
        Decimal amount = dec(lines[k].hspsje);
        if (Status s = db.exec("T_DEMO_SETTLEDETAIL",
                               "INSERT INTO T_DEMO_SETTLEDETAIL (billid, billno, rowno, refno, "
                               "refkind, refdate, storeid, hspsje, taxje) VALUES (:billid, "
                               ":billno, :rowno, :refno, :refkind, :refdate, :storeid, :hspsje, "
                               ":taxje)",
                               {billid, billno, static_cast<int>(k + 1), lines[k].refno,
                                lines[k].refkind, *Date::parse(lines[k].refdate),
                                storeId(lines[k].store), amount, taxOf(amount, 13)});
            !s)
            return s;
    }
    return {};
}

Status loadCharges(Loader& db, const char* billid, const Charge* charges, size_t count) {
    std::string billno = demoBillNo(billid);
    for (size_t k = 0; k < count; ++k) {
        if (Status s = db.exec("T_DEMO_CHARGE",
                               "INSERT INTO T_DEMO_CHARGE (billid, billno, rowno, chargecode, "
                               "chargename, amount, memo) VALUES (:billid, :billno, :rowno, "
                               ":code, :name, :amount, :memo)",
                               {billid, billno, static_cast<int>(k + 1), charges[k].code,
                                charges[k].name, dec(charges[k].amount), charges[k].memo});
            !s)
            return s;
    }
    return {};
}

Value optionalDate(const char* text) {
    return text ? Value(*Date::parse(text)) : Value();
}

Status loadBills(Loader& db) {
    for (const BillHead& h : kHeads) {
        Value begin, end;
        if (h.seqno) {
            begin = Value(*Date::fromYmd(2024, 3, 1));
            end = Value(*Date::fromYmd(2024, 3, 31));
        }
        if (Status s = db.exec(
                "T_DEMO_BILLHEAD",
                "INSERT INTO T_DEMO_BILLHEAD (billid, billno, billdate, storeid, supid, seqno, "
                "operid, opername, checker, xdrq, jhrq, begindate, enddate, memo) VALUES "
                "(:billid, :billno, :billdate, :storeid, :supid, :seqno, :operid, :opername, "
                ":checker, :xdrq, :jhrq, :begindate, :enddate, :memo)",
                {h.billid, h.billno, *Date::parse(h.billdate), storeId(h.store),
                 kSuppliers[h.supplier].id, h.seqno ? Value(h.seqno) : Value(), "0107", "王丽娟",
                 "陈志强", optionalDate(h.xdrq), optionalDate(h.jhrq), begin, end, h.memo});
            !s)
            return s;
    }
    auto count = [](const auto& a) { return std::size(a); };
    Status s = loadLines(db, "101", kReceiving, count(kReceiving), false);
    if (s) s = loadLines(db, "102", kReturn, count(kReturn), false);
    if (s) s = loadLines(db, "305", kOrder, count(kOrder), false);
    if (s) s = loadLines(db, "305", kOrderGifts, count(kOrderGifts), true);
    if (s) s = loadSettlement(db, "508", kSettle508, count(kSettle508));
    if (s) s = loadSettlement(db, "509", kSettle509, count(kSettle509));
    // Charge bills list the settlement they are deducted from, and their charges.
    if (s) s = loadSettlement(db, "J01", kSettle508, 4);
    if (s) s = loadSettlement(db, "J02", kSettle509, 3);
    if (s) s = loadSettlement(db, "J03", kSettle508 + 4, 3);
    if (s) s = loadCharges(db, "J01", kChargesJ01, count(kChargesJ01));
    if (s) s = loadCharges(db, "J02", kChargesJ02, count(kChargesJ02));
    if (s) s = loadCharges(db, "J03", kChargesJ03, count(kChargesJ03));
    return s;
}

// Charge bills J02 and J03 have no frame of their own for a new layout (only J01 has, by its
// settlement category): a site that prints them has saved a default template for each, with the
// frame of their settlement's category around the settlement lines. Bills that have templates
// already (the site's own) are left as they are.
struct DemoTemplate {
    const char* billid;
    const char* name;
    const char* documentName;  // the bill's name, as a new layout takes it
    std::string_view frame;
    const char* libraryName;
};

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

Status loadTemplates(Loader& db, Transaction& sqlca) {
    const DemoTemplate templates[] = {
        {"J02", "促销费用单", "促销费用单", detail::kDemoDefinition_d_printcharge_2,
         "dp_J02DEMO24040109000000001"},
        {"J03", "门店费用单", "门店费用单", detail::kDemoDefinition_d_printcharge_3,
         "dp_J03DEMO24040109000000001"},
    };
    const Value saved(DateTime{*Date::fromYmd(2024, 4, 1), *Time::fromHms(9, 0, 0)});
    for (const DemoTemplate& t : templates) {
        auto found = db.exists("SELECT count(*) FROM T_GOODSPRINT1 WHERE bpbid = :id", {t.billid});
        if (!found) return found.error();
        if (found.value()) continue;
        // The frame as the print window saves it: named for the bill, showing its list.
        std::string frame(t.frame);
        frame = replaced(frame, "print.documentname=\"Quarnest打印文档\"",
                         std::string("print.documentname=\"") + t.documentName + "\"");
        frame = replaced(frame, "dataobject=\"d_print_tmp\"",
                         std::string("dataobject=\"") + t.libraryName + "\"");
        if (Status s = db.exec("T_GOODSPRINT1",
                               "INSERT INTO T_GOODSPRINT1 (bpbid, bpname, bpdate, bpdefault, "
                               "bpdwname, bpoperid) VALUES (:id, :name, :saved, 'Y', :dwname, "
                               "'0001')",
                               {t.billid, t.name, saved, t.libraryName});
            !s)
            return s;
        const std::vector<Value> key = {t.billid, t.name};
        if (sqlca.updateBlob("UPDATE T_GOODSPRINT1 SET bpmaindw = :b WHERE bpbid = :id AND "
                             "bpname = :name",
                             frame, key) != 0 ||
            sqlca.updateBlob("UPDATE T_GOODSPRINT2 SET bpdetaildw = :b WHERE bpbid = :id AND "
                             "bpname = :name",
                             detail::kDemoDefinition_d_demo_settle_detail, key) != 0)
            return Error{"demo data, T_GOODSPRINT1: " + sqlca.sqlErrText()};
    }
    return {};
}

// The sales of a year, made by the database itself: a hundred thousand single INSERTs would take
// minutes on a server. Each row is a deterministic mix of day, store, goods and quantity.
Status loadSales(Loader& db, Backend backend, long rows) {
    std::string q = "((series.n * 37) % 9 + 1)";
    std::string sql =
        "INSERT INTO T_DEMO_SALE (saleid, saledate, storeid, goodsid, qty, amount, cost) "
        "SELECT series.n, " +
        dialect::dateAddDaysSql(backend, "2024-01-01", "(series.n - 1) * 366 / :count") +
        ", st.storeid, g.goodsid, " + q + ", ROUND(" + q + " * g.saleprice, 2), ROUND(" + q +
        " * g.inprice, 2) FROM " + dialect::integerSeriesSql(backend) +
        " JOIN T_DEMO_STORE st ON st.storeno = series.n % 12 + 1"
        " JOIN T_DEMO_GOODS g ON g.goodsno = (series.n * 7 + series.n / 12) % 60 + 1";
    return db.exec("T_DEMO_SALE", sql, {static_cast<int64_t>(rows)});
}

}  // namespace

std::string demoBillNo(std::string_view billid) {
    for (const BillHead& h : kHeads)
        if (billid == h.billid) return h.billno;
    return {};
}

Result<std::vector<std::string>> loadDemoData(Transaction& sqlca, const DemoOptions& options) {
    auto created = initSchema(sqlca, SchemaOptions{true});
    if (!created) return created;
    std::vector<std::string> report;
    for (const std::string& c : created.value()) report.push_back("created " + c);

    // Another load running at the same time holds the lock until it has committed; whoever
    // comes second finds the data there.
    if (sqlca.executeScript(dialect::schemaLockSql(sqlca.backend())) != 0)
        return Error{"demo data, locking the schema: " + sqlca.sqlErrText()};
    Loader db(sqlca);
    auto present = db.exists("SELECT count(*) FROM T_DEMO_BILLHEAD", {});
    if (!present) {
        (void)sqlca.rollback();
        return present.error();
    }
    if (present.value()) {
        // A demo database made before the charge bills had templates gets them.
        auto missing = db.exists(
            "SELECT count(*) FROM T_BILLMAIN m WHERE m.billid IN ('J02', "
            "'J03') AND NOT EXISTS (SELECT 1 FROM T_GOODSPRINT1 p WHERE "
            "p.bpbid = m.billid)",
            {});
        Status s = missing ? Status() : Status(missing.error());
        if (s && missing.value()) {
            s = loadTemplates(db, sqlca);
            if (s && sqlca.commit() != 0) s = Error{"demo data, commit: " + sqlca.sqlErrText()};
            if (s) report.push_back("saved the demo templates of the charge bills J02 and J03");
        }
        (void)sqlca.rollback();
        if (!s) return s.error();
        return report;
    }

    Status s = loadHostRows(db);
    if (s) s = loadMasterData(db);
    if (s) s = loadBills(db);
    if (s) s = loadTemplates(db, sqlca);
    if (s && options.saleRows > 0) s = loadSales(db, sqlca.backend(), options.saleRows);
    if (s && sqlca.commit() != 0) s = Error{"demo data, commit: " + sqlca.sqlErrText()};
    if (!s) {
        (void)sqlca.rollback();
        return s.error();
    }
    report.push_back("loaded the demo bills (" + std::to_string(std::size(kHeads)) +
                     "), stores, suppliers and goods");
    report.push_back("generated " + std::to_string(options.saleRows) + " sales rows");
    return report;
}

}  // namespace print::db
