#include "app/database/russian_plural.h"

namespace database {

int RussianPluralForm(int n) {
    const int magnitude = n < 0 ? -n : n;
    const int k = (magnitude % 100 >= 11 && magnitude % 100 <= 19) ? 0 : magnitude;
    const int r = k % 10;
    if (r == 1) return 0;
    if (r >= 2 && r <= 4) return 1;
    return 2;
}

const char* PluralEnding(int n, const char* one, const char* few, const char* many) {
    switch (RussianPluralForm(n)) {
    case 0:
        return one;
    case 1:
        return few;
    default:
        return many;
    }
}

}  // namespace database
