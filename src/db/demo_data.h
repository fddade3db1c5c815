// The demo database: a year of a Chinese supermarket chain's bills and sales, for the demo host,
// `printctl db init --demo`, the tests and the benchmarks.
//
// It fills the host tables the component reads (T_BILLMAIN with the bills "101" receiving,
// "102" a disabled return bill, "305" order, "508" and "509" settlements, "J01" to "J03" charge
// bills; T_SUPPLYBALANCE; t_Privatepara with "01" company, "02" address, "06" telephone, "PT"
// texts per row) and the demo host's own tables (stores, suppliers, goods, bill headers and
// details, settlement and charge lines, and the sales of the report, generated here), and the
// default print templates of the charge bills J02 and J03, which have no frame of their own for
// a new layout. The report definitions that read them are the `.srd` files of
// apps/demo_data/defs.
#pragma once

#include <string>
#include <vector>

#include "common/result.h"
#include "db/transaction.h"

namespace print::db {

struct DemoOptions {
    long saleRows = 100000;  // rows of the sales report T_DEMO_SALE
};

// Creates the schema with the demo tables (committed first), then fills them and commits. A
// database that holds the demo bills already is left as it is, also when another load runs at
// the same time (the second waits for the first and then finds the bills there); only the charge
// bills' templates are added when J02 or J03 has none. Returns what was done, one line each
// (empty when nothing changed); when filling fails, no demo row stays and the Error says which
// table failed.
Result<std::vector<std::string>> loadDemoData(Transaction& sqlca, const DemoOptions& options = {});

// The bill number of each demo bill, by bill id ("305" -> "DH20240318001"), for hosts and tests.
std::string demoBillNo(std::string_view billid);

}  // namespace print::db
