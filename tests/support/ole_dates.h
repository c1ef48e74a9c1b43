#pragma once
// Local times as the OLE dates the program stores and shows.

#include "platform/oledate.h"

namespace testsupport {

inline double OleDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
    return platform::ToOleDate({year, month, day, hour, minute, second, ms, 0});
}

}  // namespace testsupport
