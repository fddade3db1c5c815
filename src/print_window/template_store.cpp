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
    const std::vector<Value> values = key.values();
    const long main = sqlca.selectBlob(std::string(key.bill ? "SELECT bpmaindw FROM T_GOODSPRINT1"
                                                            : "SELECT rtmdata FROM T_RPT_MODONE") +
                                           key.where(),
                                       values, frame);
    if (main != 0) return main;
    return sqlca.selectBlob(std::string(key.bill ? "SELECT bpdetaildw FROM T_GOODSPRINT2"
                                                 : "SELECT rtcdata FROM T_RPT_MODTWO") +
                                key.where(),
                            values, report);
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
