#pragma once
// Purpose: the operator-facing texts of the sample and photo operations, with their Russian
//          plural endings.
// Threads: any (pure functions).
// Owns: nothing.

#include "app/database/person_name.h"
#include "app/database/russian_plural.h"

#include <QString>

namespace database {

// The caption of every question and notice of these operations.
inline const QString kProgramTitle = QStringLiteral("Vektra Ostrovid v.2.2.0");

// The most samples a person may have, and the most photos.
constexpr int kMaxSamplesPerPerson = 16;
constexpr int kMaxPhotosPerPerson = 10;

// CheckNewSample's questions.
QString DuplicateSampleQuestion();
QString DissimilarSampleQuestion(int dissimilar, int existing);

// Clustering notices.
QString OneClusterNotice();
QString ClustersNotice(int clusters);

// Moving samples.
QString SamplesCutNotice(int n);
QString PasteSamplesQuestion(int n, const PersonName& destination);
QString PasteLimitNotice(int samples);
QString SamplesMovedEvent(int n);
// "%s %s %s -> %s %s %s"
QString SamplesMovedDescription(const PersonName& source, const PersonName& destination);

// Deleting samples.
QString DeleteSampleQuestion(const PersonName& person);
QString DeleteSamplesQuestion(int n, const PersonName& person);
QString SamplesDeletedEvent(int n);

// Saving camera snapshots.
QString SaveSnapshotQuestion(const PersonName& person);
QString SaveSnapshotsQuestion(int n, const PersonName& person);
QString SnapshotLimitNotice();
QString SnapshotsLimitNotice();
QString SnapshotsSavedEvent(int n);

// Creating a sample from a picture.
QString PictureTooSmallNotice(int width, int height);
inline const QString kFileLoadFailedNotice = QStringLiteral("Ошибка загрузки файла.");
inline const QString kTempFileFailedNotice = QStringLiteral("Ошибка сохранения образца во временный файл.");
inline const QString kSampleAddedEvent = QStringLiteral("Добавлен образец персоны");

// Photos.
QString DeletePhotoQuestion(const PersonName& person);
// "Ошибка загрузки графического файла '%s'".
QString PhotoFileLoadFailedNotice(const QString& path);

}  // namespace database
