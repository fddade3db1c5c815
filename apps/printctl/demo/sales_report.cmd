retrieve 2024-01-01 2024-12-31 null null
gettext 1 saledate
gettext 1 storename
find goodsname = '味源料酒' and qty > 5
describe Evaluate('sum(amount for all)', 1) Evaluate('count(qty for all)', 1)
retrieve 2024-03-01 2024-03-31 null null
quit
