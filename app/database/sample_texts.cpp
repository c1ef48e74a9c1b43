#include "app/database/sample_texts.h"

namespace database {

QString DuplicateSampleQuestion() {
    return QStringLiteral("Этот образец персоны уже присутствует!\nВсе равно добавить образец?");
}

QString DissimilarSampleQuestion(int dissimilar, int existing) {
    return QString::asprintf("Новый образец непохож на %d из %d образц%s персоны.\nВсе равно добавить образец?",
                             dissimilar, existing, PluralEnding(existing, "а", "ов", "ов"));
}

QString OneClusterNotice() { return QStringLiteral("Все образцы принадлежат одной персоне."); }

QString ClustersNotice(int clusters) {
    return QString::asprintf("Предположительно образцы принадлежат %d персонам!", clusters);
}

QString SamplesCutNotice(int n) {
    return QString::asprintf("%d образ%s вырезан%s в буфер.", n, PluralEnding(n, "ец", "ца", "цов"),
                             PluralEnding(n, "", "о", "о"));
}

QString PasteSamplesQuestion(int n, const PersonName& destination) {
    return QString::asprintf("Вставить %d вырезанн%s образ%s в набор образцов персоны\n", n,
                             PluralEnding(n, "ый", "ых", "ых"), PluralEnding(n, "ец", "ца", "цов")) +
           destination.Compact() + u'?';
}

QString PasteLimitNotice(int samples) {
    return QString::asprintf("Персона содержит максимальное число образцов (%d)!", samples);
}

QString SamplesMovedEvent(int n) {
    return QString::asprintf("%d образ%s перемещен%s", n, PluralEnding(n, "ец", "ца", "цов"),
                             PluralEnding(n, "", "о", "о"));
}

QString SamplesMovedDescription(const PersonName& source, const PersonName& destination) {
    return source.Spaced() + QStringLiteral(" -> ") + destination.Spaced();
}

QString DeleteSampleQuestion(const PersonName& person) {
    return QStringLiteral("Вы хотите удалить выбранный образец персоны:\n") + person.Spaced() +
           QStringLiteral("\nиз базы данных?");
}

QString PhotoFileLoadFailedNotice(const QString& path) {
    return QStringLiteral("Ошибка загрузки графического файла '%1'").arg(path);
}

QString DeleteSamplesQuestion(int n, const PersonName& person) {
    return QString::asprintf("Вы хотите удалить %d образ%s персоны:\n", n, PluralEnding(n, "ец", "ца", "цов")) +
           person.Spaced() + QStringLiteral("\nиз базы данных?");
}

QString SamplesDeletedEvent(int n) {
    if (n == 1) return QStringLiteral("Удален образец персоны");
    return QString::asprintf("Удален%s %d образ%s персоны", PluralEnding(n, "", "о", "о"), n,
                             PluralEnding(n, "ец", "ца", "цов"));
}

QString SaveSnapshotQuestion(const PersonName& person) {
    return QStringLiteral("Сохранить выбранный снимок как образец персоны\n") + person.Compact() + u'?';
}

QString SaveSnapshotsQuestion(int n, const PersonName& person) {
    return QString::asprintf("Сохранить %d выбранн%s сним%s как образ%s персоны\n", n,
                             PluralEnding(n, "ый", "ых", "ых"), PluralEnding(n, "ок", "ка", "ков"),
                             PluralEnding(n, "ец", "цы", "цы")) +
           person.Compact() + u'?';
}

QString SnapshotLimitNotice() {
    return QString::asprintf("Достигнут максимум (%d) числа образцов для выбранной персоны.", kMaxSamplesPerPerson);
}

QString SnapshotsLimitNotice() {
    return QString::asprintf("Достигнут максимум (%d) количества образцов для выбранной персоны.",
                             kMaxSamplesPerPerson);
}

QString SnapshotsSavedEvent(int n) {
    return QString::asprintf("Сохранен%s %d образ%s персоны", PluralEnding(n, "", "о", "о"), n,
                             PluralEnding(n, "ец", "ца", "цов"));
}

QString PictureTooSmallNotice(int width, int height) {
    return QString::asprintf("Размер изображения %dx%d слишком мал для создания образца!", width, height);
}

QString DeletePhotoQuestion(const PersonName& person) {
    return QStringLiteral("Вы хотите удалить выбранное фото персоны:\n") + person.Spaced() +
           QStringLiteral("\nиз базы данных?");
}

}  // namespace database
