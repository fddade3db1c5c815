#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/encoding.h"
#include "engine/datastore.h"
#include "engine/library.h"

using namespace print;
using namespace print::engine;

namespace {

const char* kLines = R"(release 9;
datawindow(units=0 processing=1 )
detail(height=72 )
table(column=(type=char(20) name=goodsname dbname="goodsname" )
 column=(type=decimal(2) name=price dbname="price" )
 column=(type=long name=qty dbname="qty" initial="1" )
 column=(type=date name=proddate dbname="proddate" )
 column=(type=datetime name=stamp dbname="stamp" )
 column=(type=time name=at dbname="at" )
 retrieve="SELECT goodsname, price, qty, proddate, stamp, at FROM t WHERE a = :a AND b = :b AND c = :c AND d = :d AND e = :e AND f = :f"
 arguments=(("a", string),("b", number),("c", long),("d", date),("e", datetime),("f", time)) )
column(band=detail id=1 x="0" y="0" width="300" height="60" name=goodsname )
column(band=detail id=2 x="300" y="0" width="200" height="60" name=price format="#,##0.00" )
compute(band=detail expression="price * qty" x="500" y="0" width="200" height="60" name=amount )
)";

std::unique_ptr<DataStore> makeReport(const char* syntax = kLines) {
    auto r = std::make_unique<DataStore>();
    std::string error;
    EXPECT_EQ(r->Create(syntax, error), 1) << error;
    return r;
}

void addLine(DataStore& r, const char* name, const char* price, int64_t qty) {
    long row = r.InsertRow(0);
    r.SetItem(row, "goodsname", Value(name));
    r.SetItem(row, "price", Value(*Decimal::parse(price)));
    r.SetItem(row, "qty", Value(qty));
}

std::string names(const DataStore& r) {
    std::string out;
    for (long i = 1; i <= r.RowCount(); ++i) {
        if (!out.empty()) out += ",";
        out += r.GetItemString(i, "goodsname").value_or("null");
    }
    return out;
}

// Serves fixed rows and remembers what it was asked.
class MemorySource : public RowSource {
public:
    std::vector<std::vector<Value>> rows;
    std::vector<RetrieveArgument> seenArgs;
    std::string seenSql;
    bool fail = false;

    Result<long> retrieve(std::string_view sql, const std::vector<RetrieveArgument>& args,
                          const std::vector<RetrieveColumn>& columns, RowSink& sink) override {
        seenSql = std::string(sql);
        seenArgs = args;
        if (fail) return Error{"ORA-00942: table or view does not exist"};
        for (auto row : rows) sink.appendRow(row);
        return static_cast<long>(rows.size());
    }
};

}  // namespace

TEST(DataStoreRows, InsertDeleteAndStatus) {
    auto r = makeReport();
    addLine(*r, "可乐", "3.50", 2);
    addLine(*r, "雪碧", "3.00", 1);
    EXPECT_EQ(r->InsertRow(2), 2);                           // before row 2
    EXPECT_EQ(r->GetItemNumber(2, "qty")->toString(), "1");  // the column's initial value
    EXPECT_EQ(r->InsertRow(9), -1);
    EXPECT_EQ(r->RowCount(), 3);
    EXPECT_EQ(r->GetItemStatus(1), RowStatus::NewModified);
    EXPECT_EQ(r->GetItemStatus(2), RowStatus::New);
    // Rows that never came from the database leave nothing to delete there.
    EXPECT_EQ(r->DeleteRow(2), 1);
    EXPECT_EQ(r->DeletedCount(), 0);
    EXPECT_EQ(r->DeleteRow(5), -1);
    EXPECT_EQ(names(*r), "可乐,雪碧");
    EXPECT_EQ(r->GetItemNumber(1, "amount")->toString(), "7");
    EXPECT_EQ(r->GetItemText(1, "price"), "3.50");
    EXPECT_EQ(r->SetItem(1, "amount", Value(1)), -1);  // a computed field is not stored
    EXPECT_EQ(r->SetItem(1, "qty", Value("many")), -1);
    EXPECT_EQ(r->Reset(), 1);
    EXPECT_EQ(r->RowCount(), 0);
}

TEST(DataStoreRows, RowsCopyAndMove) {
    auto a = makeReport();
    auto b = makeReport();
    addLine(*a, "一", "1", 1);
    addLine(*a, "二", "2", 2);
    addLine(*a, "三", "3", 3);
    addLine(*b, "甲", "9", 9);
    EXPECT_EQ(a->RowsCopy(2, 3, Buffer::Primary, *b, 1, Buffer::Primary), 1);
    EXPECT_EQ(names(*b), "二,三,甲");
    EXPECT_EQ(b->GetItemStatus(1), RowStatus::NewModified);
    // An end past the last row copies to the last row; a start past it fails.
    EXPECT_EQ(a->RowsCopy(3, 99, Buffer::Primary, *b, 99, Buffer::Primary), 1);
    EXPECT_EQ(names(*b), "二,三,甲,三");
    EXPECT_EQ(a->RowsCopy(4, 4, Buffer::Primary, *b, 0, Buffer::Primary), -1);
    // Copying a report into itself.
    EXPECT_EQ(a->RowsCopy(1, 3, Buffer::Primary, *a, 0, Buffer::Primary), 1);
    EXPECT_EQ(names(*a), "一,二,三,一,二,三");
    EXPECT_EQ(a->RowsMove(1, 3, Buffer::Primary, *b, 0, Buffer::Primary), 1);
    EXPECT_EQ(names(*a), "一,二,三");
    EXPECT_EQ(names(*b), "二,三,甲,三,一,二,三");
    EXPECT_EQ(a->RowsMove(1, 1, Buffer::Primary, *a, 0, Buffer::Filter), 1);
    EXPECT_EQ(a->FilteredCount(), 1);
    EXPECT_EQ(*a->GetItem(1, "goodsname", Buffer::Filter), Value("一"));

    auto other = makeReport(R"(release 9;
datawindow(units=0 )
table(column=(type=char(10) name=x dbname="x" ) )
)");
    EXPECT_EQ(a->RowsCopy(1, 1, Buffer::Primary, *other, 0, Buffer::Primary), -1);
}

TEST(DataStoreRows, RowsCopyGoesOnlyIntoColumnsOfTheSameTypes) {
    auto a = makeReport();
    addLine(*a, "一", "1.50", 1);
    // As many columns, in another order of types: a quantity would become a date.
    auto shuffled = makeReport(R"(release 9;
datawindow(units=0 )
table(column=(type=char(20) name=goodsname dbname="goodsname" )
 column=(type=decimal(2) name=price dbname="price" )
 column=(type=date name=qty dbname="qty" )
 column=(type=long name=proddate dbname="proddate" )
 column=(type=datetime name=stamp dbname="stamp" )
 column=(type=time name=at dbname="at" ) )
)");
    EXPECT_EQ(a->RowsCopy(1, 1, Buffer::Primary, *shuffled, 0, Buffer::Primary), -1);
    EXPECT_EQ(shuffled->RowCount(), 0);
    EXPECT_EQ(a->RowsMove(1, 1, Buffer::Primary, *shuffled, 0, Buffer::Primary), -1);
    EXPECT_EQ(a->RowCount(), 1);
    // Numbers of either kind take each other's values.
    auto numbers = makeReport(R"(release 9;
datawindow(units=0 )
table(column=(type=char(40) name=goodsname dbname="goodsname" )
 column=(type=long name=price dbname="price" )
 column=(type=decimal(0) name=qty dbname="qty" )
 column=(type=date name=proddate dbname="proddate" )
 column=(type=datetime name=stamp dbname="stamp" )
 column=(type=time name=at dbname="at" ) )
)");
    EXPECT_EQ(a->RowsCopy(1, 1, Buffer::Primary, *numbers, 0, Buffer::Primary), 1);
    EXPECT_EQ(numbers->RowCount(), 1);
}

TEST(DataStoreRows, RowsMoveWithinOneBufferReorders) {
    auto a = makeReport();
    for (const char* n : {"一", "二", "三", "四"}) addLine(*a, n, "1", 1);
    // Down one place: before the row after next; up one place: before the row before.
    EXPECT_EQ(a->RowsMove(2, 2, Buffer::Primary, *a, 4, Buffer::Primary), 1);
    EXPECT_EQ(names(*a), "一,三,二,四");
    EXPECT_EQ(a->RowsMove(4, 4, Buffer::Primary, *a, 3, Buffer::Primary), 1);
    EXPECT_EQ(names(*a), "一,三,四,二");
    EXPECT_EQ(a->RowsMove(1, 2, Buffer::Primary, *a, 0, Buffer::Primary), 1);
    EXPECT_EQ(names(*a), "四,二,一,三");
    EXPECT_EQ(a->RowsMove(2, 2, Buffer::Primary, *a, 2, Buffer::Primary), 1);
    EXPECT_EQ(names(*a), "四,二,一,三");
    EXPECT_EQ(a->RowsMove(5, 5, Buffer::Primary, *a, 1, Buffer::Primary), -1);
    EXPECT_EQ(a->RowCount(), 4);
}

TEST(DataStoreRows, SharedRowsOutliveEitherSide) {
    auto primary = makeReport();
    auto secondary = makeReport();
    auto third = makeReport();
    addLine(*primary, "一", "1", 1);
    ASSERT_EQ(primary->ShareData(*secondary), 1);
    ASSERT_EQ(primary->ShareData(*third), 1);
    addLine(*secondary, "二", "2", 2);
    EXPECT_EQ(names(*primary), "一,二");
    EXPECT_EQ(names(*third), "一,二");
    // Off on a secondary: it alone loses the rows.
    EXPECT_EQ(third->ShareDataOff(), 1);
    EXPECT_EQ(third->RowCount(), 0);
    EXPECT_EQ(primary->RowCount(), 2);
    // The primary goes first; the secondary keeps the rows it shared.
    primary.reset();
    EXPECT_EQ(names(*secondary), "一,二");
    EXPECT_EQ(secondary->ShareDataOff(), -1);

    auto p2 = makeReport();
    auto s2 = makeReport();
    addLine(*p2, "三", "3", 3);
    p2->ShareData(*s2);
    EXPECT_EQ(p2->ShareDataOff(), 1);  // off on the primary empties every secondary
    EXPECT_EQ(s2->RowCount(), 0);
    EXPECT_EQ(p2->RowCount(), 1);
    p2->ShareData(*s2);
    s2.reset();  // a secondary going away leaves the primary alone
    EXPECT_EQ(p2->RowCount(), 1);
    EXPECT_EQ(p2->ShareDataOff(), -1);
}

TEST(DataStoreRows, AcceptTextRaisesItemEvents) {
    auto r = makeReport();
    addLine(*r, "一", "1", 1);
    std::vector<std::string> events;
    r->itemChanged = [&](long row, const std::string& col, const std::string& data) {
        events.push_back("changed " + std::to_string(row) + " " + col + " " + data);
        return data == "13" ? 1 : 0;
    };
    r->itemError = [&](long row, const std::string& col, const std::string& data) {
        events.push_back("error " + col + " " + data);
        return 1;
    };
    ASSERT_EQ(r->SetRow(1), 1);
    ASSERT_EQ(r->SetColumn("qty"), 1);
    r->SetText("12");
    EXPECT_EQ(r->AcceptText(), 1);
    EXPECT_EQ(r->GetItemNumber(1, "qty")->toString(), "12");
    r->SetText("13");
    EXPECT_EQ(r->AcceptText(), -1);  // rejected by item-changed
    r->SetText("x7");
    EXPECT_EQ(r->AcceptText(), -1);  // not a number
    EXPECT_EQ(r->GetItemNumber(1, "qty")->toString(), "12");
    EXPECT_EQ(events,
              (std::vector<std::string>{"changed 1 qty 12", "changed 1 qty 13", "error qty x7"}));
    EXPECT_EQ(r->SetColumn("nosuch"), -1);
}

TEST(DataStoreRetrieve, BindsArgumentsInDeclaredOrderAndTypes) {
    auto r = makeReport();
    MemorySource source;
    source.rows.push_back({Value("可乐"), Value(*Decimal::parse("3.5")), Value(int64_t{2}),
                           Value(*Date::parse("2026-01-02")),
                           Value(*DateTime::parse("2026-01-02 08:00:00")),
                           Value(*Time::parse("08:30:00"))});
    source.rows.push_back({Value("雪碧"), Value("4.25"), Value(), Value(), Value(), Value()});
    EXPECT_EQ(r->Retrieve({}), -1);
    EXPECT_EQ(r->lastError(), "no transaction: call SetTransObject before Retrieve");
    r->SetTransObject(&source);
    EXPECT_EQ(r->Retrieve({Value("x"), Value(Decimal(5)), Value(int64_t{6}),
                           Value(*Date::parse("2026-03-04"))}),
              2);
    ASSERT_EQ(source.seenArgs.size(), 6u);
    EXPECT_EQ(source.seenArgs[0].name, "a");
    EXPECT_EQ(source.seenArgs[1].type, ValueType::Number);
    EXPECT_EQ(source.seenArgs[2].type, ValueType::Long);
    EXPECT_EQ(source.seenArgs[3].value, Value(*Date::parse("2026-03-04")));
    EXPECT_EQ(source.seenArgs[4].type, ValueType::DateTime);
    EXPECT_TRUE(source.seenArgs[5].value.isNull());  // not given: null
    EXPECT_EQ(r->GetItemStatus(1), RowStatus::NotModified);
    EXPECT_EQ(r->GetItemNumber(2, "price")->toString(), "4.25");  // text converted to the type
    EXPECT_EQ(r->GetItemDateTime(1, "stamp")->toString(), "2026-01-02 08:00:00");
    source.fail = true;
    EXPECT_EQ(r->Retrieve({}), -1);
    EXPECT_EQ(r->lastError(), "ORA-00942: table or view does not exist");
}

TEST(DefinitionText, WritingThenReadingGivesTheSameModel) {
    std::ifstream in(std::string(ENGINE_CASES_DIR) + "/defs/d_bill.srd", std::ios::binary);
    std::stringstream buf;
    buf << in.rdbuf();
    auto first = parseDefinition(buf.str());
    ASSERT_TRUE(first.ok()) << first.error().describe();
    std::string written = writeDefinition(first.value());
    auto second = parseDefinition(written);
    ASSERT_TRUE(second.ok()) << second.error().describe();
    EXPECT_EQ(first.value(), second.value());
    EXPECT_EQ(writeDefinition(second.value()), written);

    // The report's own syntax reads back to a report that writes the same syntax.
    auto r = makeReport(buf.str().c_str());
    std::string syntax = r->Describe("DataWindow.Syntax");
    auto again = makeReport(syntax.c_str());
    EXPECT_EQ(again->Describe("DataWindow.Syntax"), syntax);
    EXPECT_EQ(again->RowCount(), 4);
}

TEST(DefinitionText, EscapesSurviveARoundTrip) {
    auto parsed = parseDefinition("datawindow(a=\"x~~y~\"z~tq~r~n\" b='it~'s' )");
    ASSERT_TRUE(parsed.ok()) << parsed.error().describe();
    const auto& attrs = parsed.value().blocks[0].attrs;
    EXPECT_EQ(attrs.get("a"), "x~y\"z\tq\r\n");
    EXPECT_EQ(attrs.get("b"), "it's");
    EXPECT_EQ(unescapeText("~065~h42~o103"), "ABC");
    // Numbers of 128 and above are characters, never single bytes that break UTF-8.
    EXPECT_EQ(unescapeText("caf~233"), "caf\u00e9");
    EXPECT_EQ(unescapeText("~128~hff~o200~h80"), "\u0080\u00ff\u0080\u0080");
    auto high = parseDefinition("datawindow(a=\"~233~hE9~o351\" )");
    ASSERT_TRUE(high.ok());
    std::string written = writeDefinition(high.value());
    EXPECT_TRUE(decodeText(written, "UTF-8").ok()) << written;
    EXPECT_EQ(parseDefinition(written).value(), high.value());
    auto again = parseDefinition(writeDefinition(parsed.value()));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value(), parsed.value());
}

TEST(DataStoreModify, CreatedObjectsGoLastAndLookupsStayHashed) {
    auto r = makeReport();
    std::string statements;
    for (int i = 0; i < 200; ++i)
        statements += "create text(band=detail name=t_" + std::to_string(i) + " text='" +
                      std::to_string(i) + "') ";
    EXPECT_EQ(r->Modify(statements), "");
    EXPECT_EQ(r->Describe("t_199.text t_0.text"), "199\n0");
    std::string objects = r->Describe("DataWindow.Objects");
    EXPECT_TRUE(objects.starts_with("goodsname\tprice\tamount\tt_0\t"));
    EXPECT_TRUE(objects.ends_with("\tt_199"));
    EXPECT_EQ(r->Modify("destroy t_5 destroy column price"), "");
    EXPECT_EQ(r->Describe("t_5.text"), "!");
    EXPECT_EQ(r->Describe("DataWindow.Column.Count"), "5");
    EXPECT_EQ(r->Describe("price.x"), "!");
    EXPECT_EQ(r->Describe("#2.name"), "qty");
    EXPECT_EQ(r->Modify("destroy column price"), "Line 1 Column 16: unknown column 'price'.");
    // SetPosition moves an object to the back or the front of the drawing order.
    EXPECT_EQ(r->SetPosition("t_199", "", false), 1);
    EXPECT_TRUE(r->Describe("DataWindow.Objects").starts_with("t_199\t"));
    EXPECT_EQ(r->SetPosition("t_199", "summary", true), 1);
    EXPECT_EQ(r->Describe("t_199.band"), "summary");
    EXPECT_EQ(r->SetPosition("t_199", "header.4", true), -1);
}

TEST(DataStoreChildren, AChildHandedOutStaysValidUntilTheParentIsCreatedAgain) {
    auto lib = std::make_shared<MemoryLibrary>();
    lib->put("d_list", R"(release 9;
datawindow(units=0 )
table(column=(type=long name=id dbname="id" ) column=(type=char(10) name=label dbname="label" ) )
data(1 "一" 2 "二" )
)");
    auto& list = LibrarySearchList::application();
    auto saved = list.libraries();
    list.setLibraries({lib});
    auto r = makeReport(R"(release 9;
datawindow(units=0 )
detail(height=100 )
table(column=(type=long name=code dbname="code" ) )
column(band=detail id=1 x="0" y="0" width="100" height="60" name=code dddw.name=d_list dddw.displaycolumn=label dddw.datacolumn=id )
report(band=detail dataobject="d_list" x="0" y="0" height="100" width="100" name=dw_nested )
)");
    DataWindowChild* dropDown = nullptr;
    DataWindowChild* nested = nullptr;
    ASSERT_EQ(r->GetChild("code", dropDown), 1);
    ASSERT_EQ(r->GetChild("dw_nested", nested), 1);
    EXPECT_EQ(r->Modify("code.dddw.name='d_list' dw_nested.dataobject='d_list'"), "");
    EXPECT_EQ(r->Modify("destroy dw_nested destroy column code"), "");
    // Both children were replaced or orphaned, yet the handles still work.
    EXPECT_EQ(dropDown->RowCount(), 2);
    EXPECT_EQ(nested->GetItemString(2, "label").value_or(""), "二");
    list.setLibraries(saved);
}

TEST(DataStoreRows, TextValuesOfAnyLengthAreStoredWhole) {
    // 1.5 million characters: more than one chunk of the column store, less than two.
    const std::string big(1500000, 'x');
    auto r = makeReport();
    ASSERT_EQ(r->InsertRow(0), 1);
    ASSERT_EQ(r->SetItem(1, "goodsname", Value(big)), 1);
    ASSERT_EQ(r->InsertRow(0), 2);
    ASSERT_EQ(r->SetItem(2, "goodsname", Value("after")), 1);
    EXPECT_EQ(r->GetItemString(1, "goodsname").value_or("").size(), big.size());
    EXPECT_EQ(r->GetItemString(2, "goodsname").value_or(""), "after");

    // The same value in a definition's stored rows.
    std::string syntax = std::string(R"(release 9;
datawindow(units=0 )
table(column=(type=char(2000000) name=a dbname="a" ) column=(type=long name=b dbname="b" ) )
data(")") + big + R"(" 1 "short" 2 )
)";
    auto stored = makeReport(syntax.c_str());
    ASSERT_EQ(stored->RowCount(), 2);
    EXPECT_EQ(stored->GetItemString(1, "a").value_or(""), big);
    EXPECT_EQ(stored->GetItemString(2, "a").value_or(""), "short");
    EXPECT_EQ(stored->GetItemNumber(2, "b").value_or(Decimal(0)), Decimal(2));
}

TEST(DefinitionText, EveryValueReadsBackAsItself) {
    // Values set as bare words by Modify or by hand, whatever their characters.
    for (const char* value : {"(0.00)", "0.00;(0.00)", "(a) (b)", "(", ")", "a(b", "char(10)", "",
                              "a b", "it's", "'x'", "\"x\"", "~t", "x)y(", "(x)y"}) {
        TextBlock block{"text", {}, {}, 0};
        block.attrs.items.push_back({"v", value, ValueForm::Bare});
        DefinitionText def;
        def.blocks.push_back(block);
        std::string written = writeDefinition(def);
        auto read = parseDefinition(written);
        ASSERT_TRUE(read.ok()) << written << ": " << read.error().describe();
        const Attribute* a = read.value().blocks[0].attrs.find("v");
        ASSERT_NE(a, nullptr) << written;
        EXPECT_EQ(a->value, value) << written;
        EXPECT_NE(a->form, ValueForm::Block) << written;
    }
}

namespace {

// A report whose computed field c<i> is `c<i-1> + 1`, c0 being the column n (1).
std::string computeChain(int length) {
    std::string s =
        "release 9;\ndatawindow(units=0 )\ndetail(height=72 )\n"
        "table(column=(type=long name=n dbname=\"n\" ) )\ndata(1 )\n"
        "compute(band=detail expression=\"n\" name=c0 )\n";
    for (int i = 1; i <= length; ++i)
        s += "compute(band=detail expression=\"c" + std::to_string(i - 1) + " + 1\" name=c" +
             std::to_string(i) + " )\n";
    return s;
}

}  // namespace

TEST(DataStoreExpressions, ChainsOfComputedFieldsFarDeeperThanReportsNeedWork) {
    for (int length : {33, 200}) {
        std::string syntax = computeChain(length);
        auto r = makeReport(syntax.c_str());
        std::string last = "c" + std::to_string(length);
        EXPECT_EQ(r->GetItemNumber(1, last), Decimal(length + 1)) << length;
        auto v = r->evaluate(last + " * 2", 1);
        ASSERT_TRUE(v.ok()) << v.error().message;
        EXPECT_EQ(v.value().toDecimal(), Decimal(2 * (length + 1)));
    }
}

TEST(DataStoreExpressions, AChainTooDeepIsAnErrorNotACrash) {
    std::string syntax = computeChain(3000);
    auto r = makeReport(syntax.c_str());
    auto v = r->evaluate("c3000", 1);
    ASSERT_FALSE(v.ok());
    EXPECT_EQ(v.error().message,
              "expressions nest too deeply (through computed fields or Describe('Evaluate(...)'))");
    EXPECT_EQ(r->GetItem(1, "c3000"), Value());
    EXPECT_EQ(r->Describe("Evaluate('c3000', 1)"), "!");
    // The fields near the start still work, and so does the same field once the chain is cut.
    EXPECT_EQ(r->GetItemNumber(1, "c10"), Decimal(11));
    EXPECT_EQ(r->Modify("c2500.expression='1'"), "");
    EXPECT_EQ(r->GetItemNumber(1, "c3000"), Decimal(501));
}

TEST(DataStoreExpressions, AnAggregateTooDeepWhereItWasAskedStillWorksWhereItIsNot) {
    std::string syntax = computeChain(700);
    syntax +=
        "compute(band=summary expression=\"sum(c700 for all)\" name=c_total )\n"
        "compute(band=summary expression=\"c_total\" name=d0 )\n";
    for (int i = 1; i <= 300; ++i)
        syntax += "compute(band=summary expression=\"d" + std::to_string(i - 1) + " + 1\" name=d" +
                  std::to_string(i) + " )\n";
    auto r = makeReport(syntax.c_str());
    EXPECT_FALSE(r->evaluate("d300", 1).ok());
    EXPECT_EQ(r->GetItemNumber(1, "c_total"), Decimal(701));
    EXPECT_EQ(r->GetItemNumber(1, "d10"), Decimal(711));
}

TEST(DataStoreRows, DestroyingAColumnOfSharedRowsEndsTheSharing) {
    // The reports sharing rows would no longer have the same columns; the rows went with the
    // column from under the other side.
    auto primary = makeReport();
    auto secondary = makeReport();
    addLine(*primary, "一", "1", 1);
    ASSERT_EQ(primary->ShareData(*secondary), 1);
    EXPECT_EQ(primary->Modify("destroy column price"), "");
    EXPECT_EQ(secondary->RowCount(), 0);
    EXPECT_EQ(secondary->GetItem(1, "qty"), std::nullopt);
    EXPECT_EQ(secondary->InsertRow(0), 1);
    EXPECT_EQ(secondary->SetItem(1, "stamp", Value("2024-03-09 10:00:00")), 1);
    EXPECT_EQ(primary->RowCount(), 1);
    EXPECT_EQ(primary->GetItem(1, "qty"), Value(int64_t{1}));
    EXPECT_EQ(primary->GetItemString(1, "goodsname"), "一");

    auto p2 = makeReport();
    auto s2 = makeReport();
    addLine(*p2, "二", "2", 2);
    ASSERT_EQ(p2->ShareData(*s2), 1);
    EXPECT_EQ(s2->Modify("destroy column price"), "");
    EXPECT_EQ(s2->RowCount(), 0);
    EXPECT_EQ(p2->GetItemNumber(1, "price"), Decimal(2));
    EXPECT_EQ(p2->GetItem(1, "at"), Value());
    EXPECT_EQ(p2->ShareDataOff(), -1);
}

TEST(DataStoreChildren, ADefinitionOpenedByNameThatNestsItselfIsRefused) {
    auto& list = LibrarySearchList::application();
    auto saved = list.libraries();
    list.setLibraries({std::make_shared<FolderLibrary>(std::string(ENGINE_CASES_DIR) + "/defs")});
    DataStore r;
    EXPECT_EQ(r.SetDataObject("d_fan"), -1);
    EXPECT_EQ(r.lastError(),
              "d_fan: Line 5 Column 1: report 'dw_1': the report definition 'd_fan' nests itself: "
              "d_fan > d_fan");
    EXPECT_EQ(r.SetDataObject("d_wide_b"), 1);
    EXPECT_EQ(
        r.Modify("dw_1.dataobject='d_wide_b'"),
        "Line 1 Column 1: the report definition 'd_wide_b' nests itself: d_wide_b > d_wide_b.");
    list.setLibraries(saved);
}

TEST(DataStoreEdits, EditStylesDecideWhatAnOperatorMayEnter) {
    auto form = makeReport(R"srd(release 9;
datawindow(units=0 )
detail(height=400 )
table(column=(type=number name=copies dbname="copies" )
 column=(type=char(1) name=quality dbname="quality" )
 column=(type=char(1) name=grid dbname="grid" )
 column=(type=number name=zoom dbname="zoom" ) )
column(band=detail id=1 x="1" y="1" width="100" height="60" name=copies editmask.mask="##0" editmask.spin=yes editmask.spinrange="1~~999" )
column(band=detail id=2 x="1" y="80" width="100" height="60" name=quality ddlb.allowedit=no values="缺省	0/高	1/" )
column(band=detail id=3 x="1" y="160" width="100" height="60" name=grid checkbox.on="Y" checkbox.off="N" )
column(band=detail id=4 x="1" y="240" width="100" height="60" name=zoom ddlb.allowedit=yes values="100%	100/" )
)srd");
    form->InsertRow(0);
    form->SetRow(1);
    std::vector<std::string> errors;
    form->itemError = [&](long, const std::string& column, const std::string& data) {
        errors.push_back(column + "=" + data);
        return 1;
    };
    auto type = [&](const char* column, const char* text) {
        form->SetColumn(column);
        form->SetText(text);
        return form->AcceptText();
    };
    EXPECT_EQ(type("copies", "12"), 1);
    EXPECT_EQ(type("copies", "1000"), -1);
    EXPECT_EQ(type("copies", "0"), -1);
    EXPECT_EQ(form->GetItemNumber(1, "copies")->toString(), "12");
    EXPECT_EQ(type("quality", "高"), 1);  // a display value stores its data value
    EXPECT_EQ(*form->GetItemString(1, "quality"), "1");
    EXPECT_EQ(type("quality", "0"), 1);
    EXPECT_EQ(type("quality", "7"), -1);
    EXPECT_EQ(type("grid", "Y"), 1);
    EXPECT_EQ(type("grid", "X"), -1);
    EXPECT_EQ(type("zoom", "75"), 1);  // an editable list takes other values
    EXPECT_EQ(type("zoom", "75%"), -1);
    EXPECT_EQ(errors, (std::vector<std::string>{"copies=1000", "copies=0", "quality=7", "grid=X",
                                                "zoom=75%"}));
}

TEST(DataStoreModify, BandHeightsAreWholeNumbersOfZeroOrMore) {
    auto r = makeReport();
    EXPECT_EQ(r->Modify("DataWindow.Header.Height=-5"),
              "Line 1 Column 1: band height '-5' is not a whole number of 0 or more.");
    EXPECT_EQ(r->Modify("DataWindow.Detail.Height='abc'"),
              "Line 1 Column 1: band height 'abc' is not a whole number of 0 or more.");
    EXPECT_EQ(r->Modify("DataWindow.Header.Height=0"), "");
    EXPECT_EQ(r->Modify("DataWindow.Header.Height='40~tif(1=1,40,0)'"), "");
}
