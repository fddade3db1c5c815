describe datawindow.units datawindow.processing DataWindow.Print.DocumentName DataWindow.Column.Count
describe DataWindow.Objects
describe goodsname.coltype unit.Edit.Style price.format price.editmask.mask #2.name
rowcount
gettext 2 price
gettext 3 unit
gettext 1 proddate
getitem 2 price
describe Evaluate('sum(price * qty for all)', 1) Evaluate('LookUpDisplay(unit)', 3)
modify rowno.Format='[general]	If(rowno=GetRow(),"####","赠品####")'
gettext 1 rowno
gettext 4 rowno
modify goodsid.visible='0' goodsid.visible='1'
describe goodsid.x goodsid_t.x goodsid.visible
find goodsname = '双汇火腿肠'
modify nosuch.text='x'
describe datawindow.bands datawindow.object
quit
