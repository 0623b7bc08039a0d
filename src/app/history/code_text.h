// The words of a library result code for the history commands' messages:
// "读取基本信息失败(5021)", or the bare code when the library has no text.
#pragma once

#include <QString>

namespace zoqe {

QString HistoryCodeText(int code);

}  // namespace zoqe
