retrieve 305 DH20240318001
describe DataWindow.Print.DocumentName DataWindow.Column.Count
gettext 1 goodsname
gettext 1 qty
gettext 1 price
gettext 1 amount
gettext 1 sum_hsjjje
describe Evaluate('String(sum(amount for all), "￥#,###,##0.00")', 1)
modify rowno.Format='[general]	If(rowno=GetRow(),"####","赠品####")'
gettext 2 rowno
modify price.Format='***' amount.Format='***'
gettext 1 price
quit
