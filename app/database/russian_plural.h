#pragma once
// Purpose: the Russian plural endings of the journal lines, questions and notices.
// Threads: any (pure functions).
// Owns: nothing.

namespace database {

// The plural form of n: 0 "one" (r = 1), 1 "few" (r = 2..4), 2 "many", where r is n mod 10, or 0
// when n mod 100 is 11..19.
int RussianPluralForm(int n);
// The ending of n's form among the three.
const char* PluralEnding(int n, const char* one, const char* few, const char* many);

}  // namespace database
