#include "app/snapshots/snapshot_texts.h"

#include "app/database/russian_plural.h"
#include "app/snapshots/snapshot_list.h"

namespace snapshots {

QString DeleteSelectedQuestion(int n) {
    return QString::asprintf("Удалить %d выбранн%s сним%s?", n, database::PluralEnding(n, "ый", "ых", "ых"),
                             database::PluralEnding(n, "ок", "ка", "ков"));
}

QString DeleteFocusedQuestion() { return QStringLiteral("Удалить выбранный снимок?"); }

QString SnapshotsFullNotice() {
    return QString::asprintf(
        "Достигнут максимум (%d) числа снимков в панели.\nУдалите ненужные снимки или "
        "сохраните их как образцы персон.",
        SnapshotList::kMaxHeld);
}

}  // namespace snapshots
