// Amounts in Chinese capital numerals as banks require them on bills and cheques:
// 1234 → "壹仟贰佰叁拾肆元整", 1004.05 → "壹仟零肆元零伍分", 100000 → "壹拾万元整".
//
// The amount is rounded half away from zero to the fen. Inner zeros are written once ("零"),
// groups of 万 and 亿 are kept, a whole amount ends in "整", an amount with 角 and no 分 ends in
// "整" after the 角, a 零 stands between 元 and 分 when the 角 is zero, amounts below one yuan
// have no 元 part, negative amounts start with "负", and 0 is "零元整".
#pragma once

#include <string>

#include "common/decimal.h"

namespace print::service {

std::string moneyToChinese(const Decimal& amount);

}  // namespace print::service
