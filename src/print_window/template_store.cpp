#include "print_window/template_store.h"

namespace print::print_window {

std::vector<Value> TemplateKey::values() const {
    if (bill) return {Value(billid), Value(name)};
    return {Value(docname), Value(name), Value(oper)};
}

std::string TemplateKey::where() const {
    return bill ? " WHERE bpbid = :billid AND bpname = :name"
                : " WHERE rtdocname = :docname AND rtname = :name AND rtoperid = :oper";
}

long lockTemplates(db::Transaction& sqlca, const TemplateKey& key) {
    return sqlca.lockName(key.bill ? "print template bill " + key.billid
                                   : "print template document " + key.docname);
}

long writeTemplateSyntax(db::Transaction& sqlca, const TemplateKey& key, const std::string& frame,
                         const std::string& report) {
    const std::vector<Value> values = key.values();
    const long main =
        sqlca.updateBlob(std::string(key.bill ? "UPDATE T_GOODSPRINT1 SET bpmaindw = :blob"
                                              : "UPDATE T_RPT_MODONE SET rtmdata = :blob") +
                             key.where(),
                         frame, values);
    if (main != 0) return main;
    return sqlca.updateBlob(std::string(key.bill ? "UPDATE T_GOODSPRINT2 SET bpdetaildw = :blob"
                                                 : "UPDATE T_RPT_MODTWO SET rtcdata = :blob") +
                                key.where(),
                            report, values);
}

long readTemplateSyntax(db::Transaction& sqlca, const TemplateKey& key, std::string& frame,
                        std::string& report) {
    TemplateSnapshot stored;
    const long rc = readTemplate(sqlca, key, stored);
    if (rc != 0) return rc;
    if (!stored.hasReportRow) return 100;
    frame = std::move(stored.frame);
    report = std::move(stored.report);
    return 0;
}

long readTemplateRow(db::Transaction& sqlca, const TemplateKey& key, TemplateInfo& out) {
    std::vector<Value> row;
    const long rc = sqlca.selectInto(
        key.bill
            ? "SELECT 'x', bpdefault, bpdwname, bpoperid, bpdate FROM T_GOODSPRINT1" + key.where()
            : "SELECT rtflag, rtdefault, rtdwcurname, rtoperid, rtoperdate FROM T_RPT_MODONE" +
                  key.where(),
        key.values(), row,
        {ValueType::String, ValueType::String, ValueType::String, ValueType::String,
         ValueType::DateTime});
    if (rc != 0) return rc;
    auto text = [&](size_t i) { return row[i].isNull() ? std::string() : row[i].toText(); };
    out = TemplateInfo{};
    out.key = key;
    out.flag = key.bill ? std::string() : text(0);
    out.isDefault = text(1);
    out.libraryName = text(2);
    out.key.oper = text(3);
    out.stamp = templateStamp(row[4]);
    return 0;
}

long countPublicOfOthers(db::Transaction& sqlca, const TemplateKey& key, long& count) {
    std::vector<Value> row;
    const long rc = sqlca.selectInto(
        "SELECT COUNT(*) FROM T_RPT_MODONE WHERE rtdocname = :docname AND rtname = :name AND "
        "rtoperid <> :oper AND rtflag = '0'",
        key.values(), row, {ValueType::Long});
    count = rc == 0 && !row.empty() && !row[0].isNull() ? static_cast<long>(row[0].asLong()) : 0;
    return rc == 100 ? 0 : rc;
}

long readTemplate(db::Transaction& sqlca, const TemplateKey& key, TemplateSnapshot& out) {
    const std::string sql =
        key.bill ? "SELECT m.bpdate, m.bpdwname, '0', m.bpdefault, m.bpoperid, "
                   "CASE WHEN t.bpname IS NULL THEN 0 ELSE 1 END, m.bpmaindw, t.bpdetaildw "
                   "FROM T_GOODSPRINT1 m LEFT JOIN T_GOODSPRINT2 t ON t.bpbid = m.bpbid AND "
                   "t.bpname = m.bpname WHERE m.bpbid = :billid AND m.bpname = :name"
                 : "SELECT m.rtoperdate, m.rtdwcurname, m.rtflag, m.rtdefault, m.rtoperid, "
                   "CASE WHEN t.rtname IS NULL THEN 0 ELSE 1 END, m.rtmdata, t.rtcdata "
                   "FROM T_RPT_MODONE m LEFT JOIN T_RPT_MODTWO t ON t.rtdocname = m.rtdocname AND "
                   "t.rtname = m.rtname AND t.rtoperid = m.rtoperid WHERE m.rtdocname = :docname "
                   "AND m.rtname = :name AND m.rtoperid = :oper";
    std::vector<Value> row;
    const long rc =
        sqlca.selectIntoWithBlobs(sql, key.values(), row,
                                  {ValueType::DateTime, ValueType::String, ValueType::String,
                                   ValueType::String, ValueType::String, ValueType::Long},
                                  {6, 7});
    if (rc != 0) return rc;
    auto text = [&](size_t i) { return row[i].isNull() ? std::string() : row[i].toText(); };
    out.stamp = templateStamp(row[0]);
    out.libraryName = text(1);
    out.flag = text(2);
    out.isDefault = text(3);
    out.owner = text(4);
    out.hasReportRow = !row[5].isNull() && row[5].asLong() == 1;
    out.frame = row[6].toText();
    out.report = row[7].toText();
    return 0;
}

long clearOtherDefaults(db::Transaction& sqlca, const TemplateKey& key) {
    const long rc = key.bill ? sqlca.execute(
                                   "UPDATE T_GOODSPRINT1 SET bpdefault = 'N' WHERE bpbid = :billid "
                                   "AND bpname <> :name",
                                   {Value(key.billid), Value(key.name)})
                             : sqlca.execute(
                                   "UPDATE T_RPT_MODONE SET rtdefault = 'N' WHERE rtdocname = "
                                   ":docname AND NOT (rtname = :name AND rtoperid = :oper)",
                                   {Value(key.docname), Value(key.name), Value(key.oper)});
    return rc == 100 ? 0 : rc;
}

std::string templateStamp(const Value& value) {
    if (value.isNull()) return "";
    if (value.type() == ValueType::DateTime) return value.asDateTime().toString();
    if (auto parsed = DateTime::parse(value.toText())) return parsed->toString();
    return value.toText();
}

long listTemplates(db::Transaction& sqlca, const std::function<void(const TemplateInfo&)>& onRow) {
    auto text = [](const Value& v) { return v.isNull() ? std::string() : v.toText(); };
    long rc = sqlca.query(
        "SELECT bpbid, bpname, bpoperid, bpdefault, bpdwname, bpdate FROM T_GOODSPRINT1 "
        "ORDER BY bpbid, bpname",
        {}, [&](const std::vector<Value>& r) {
            TemplateInfo info;
            info.key.bill = true;
            info.key.billid = text(r[0]);
            info.key.name = text(r[1]);
            info.key.oper = text(r[2]);
            info.isDefault = text(r[3]);
            info.libraryName = text(r[4]);
            info.stamp = templateStamp(r[5]);
            onRow(info);
            return true;
        });
    if (rc < 0) return rc;
    return sqlca.query(
        "SELECT rtdocname, rtname, rtoperid, rtflag, rtdefault, rtdwname, rtdwcurname, rtoperdate "
        "FROM T_RPT_MODONE ORDER BY rtdocname, rtname, rtoperid",
        {}, [&](const std::vector<Value>& r) {
            TemplateInfo info;
            info.key.docname = text(r[0]);
            info.key.name = text(r[1]);
            info.key.oper = text(r[2]);
            info.flag = text(r[3]);
            info.isDefault = text(r[4]);
            info.dwname = text(r[5]);
            info.libraryName = text(r[6]);
            info.stamp = templateStamp(r[7]);
            onRow(info);
            return true;
        });
}

}  // namespace print::print_window
