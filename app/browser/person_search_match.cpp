#include "app/browser/person_search_match.h"

namespace browser {

namespace {

bool SameLetter(QChar a, QChar b) { return a == b || a.toCaseFolded() == b.toCaseFolded(); }

}  // namespace

bool WildcardMatch(const QString& pattern, const QString& text) {
    // Greedy scan that remembers the last * and, on a mismatch, lets it swallow one more
    // character: linear in the usual case, never exponential (no recursion per *).
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype starAt = -1;   // pattern index after the last *
    qsizetype starText = 0;  // text index that * has swallowed up to
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starAt = ++p;
            starText = t;
        } else if (p < pattern.size() && (pattern[p] == u'?' || SameLetter(pattern[p], text[t]))) {
            ++p;
            ++t;
        } else if (starAt >= 0) {
            p = starAt;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

}  // namespace browser
