#include "common/errors.h"

#include "common/codepage.h"

namespace cluster {

ERangeError::ERangeError() : Exception(Cp932FromUtf8("範囲チェックエラー")) {}
EInvalidOp::EInvalidOp() : EMathError(Cp932FromUtf8("不正な浮動小数点数演算命令")) {}
EZeroDivide::EZeroDivide() : EMathError(Cp932FromUtf8("0 による浮動小数点数除算")) {}
EOverflow::EOverflow() : EMathError(Cp932FromUtf8("浮動小数点数のオーバーフロー")) {}

}  // namespace cluster
