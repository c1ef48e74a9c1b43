#pragma once
// What the tests of the whole program in the test process share: private folders and store,
// the real face models, a person enrolled from a photo through the program's own face analysis,
// the camera and database settings in the store, and the real service.

#include "app/database/db_schema.h"
#include "app/program_window.h"
#include "app/recognition/face_models.h"
#include "app/ui/event_panel.h"
#include "platform/log.h"
#include "platform/registry.h"
#include "settings/load_settings.h"
#include "settings/registry_names.h"
#include "tests/integration/program/in_process_program.h"
#include "tests/integration/program/program_environment.h"
#include "tests/integration/service/child_process.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <opencv2/imgcodecs.hpp>

namespace endtoend {

namespace rn = settings::regnames;

// Start-up, the first model load, the camera's connection and three results half a second apart.
constexpr int kRecognitionLimitMs = 120000;

inline const QString kPhoto = QStringLiteral(DLIB_EXAMPLES_DIR "/faces/2009_004587.jpg");

inline bool HasRecognitionRow(ui::MainFrame& frame, const QString& name) {
    for (const shell::JournalRow& row : frame.Events()->Model().Tab(shell::JournalTab::Recognition).Rows())
        if (row.eventText == QStringLiteral("Распознан") && row.description.contains(name)) return true;
    return false;
}

class ProgramFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(PrepareProgramLogAndModels(env, QStringLiteral(OSTROVID_DATA_DIR), models));
        photo = recognition::ReadPictureFile(kPhoto);
        ASSERT_FALSE(photo.empty());
    }

    void TearDown() override {
        if (HasFailure())
            for (const QString& line : env.Log()) std::fprintf(stderr, "log: %s\n", qUtf8Printable(line));
        StopChildren({&camera, &service});
        platform::SetLogFile(QString(), QString());
    }

    // One person with one sample: the largest face of the photo, described as the program does.
    void EnrollPerson(const QString& file) {
        database::CreateSqliteDatabaseFile(file);
        const auto faces = models->DetectFaces(photo, 1);
        ASSERT_EQ(faces.size(), 1u);
        const auto described = models->InterfaceDescriber().Describe(photo, faces[0]);
        ASSERT_TRUE(described);
        std::vector<uchar> jpeg;
        cv::imencode(".jpg", described->chip, jpeg);

        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("enrol"));
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(
            query.exec(QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, FORENAME, Gender) "
                                      "VALUES (1, 0, 'Иванов', 'Пётр', 1)")))
            << query.lastError().text().toStdString();
        query.prepare(QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (1, ?, ?)"));
        query.addBindValue(QByteArray(reinterpret_cast<const char*>(jpeg.data()), int(jpeg.size())));
        query.addBindValue(described->descriptor.ToStorage());
        ASSERT_TRUE(query.exec()) << query.lastError().text().toStdString();
        query.finish();
        db.close();
    }

    // One HTTP camera, started by itself, and the database file.
    void WriteSettings(const QString& dbFile, const QString& url) {
        platform::RegistryStore store(env.StorePath());
        ASSERT_NO_FATAL_FAILURE(WriteSettings(store, dbFile, url));
        ASSERT_EQ(store.Save(), 0);
    }

    void WriteSettings(platform::RegistryStore& store, const QString& dbFile, const QString& url) {
        const QString camera = rn::NumberedKey(rn::kCameraKey, 0);
        ASSERT_EQ(store.CreateKey(camera), 0);
        store.SetDword(camera, rn::camera::kType, 1);
        store.SetString(camera, rn::camera::kName, QStringLiteral("Вход"));
        store.SetDword(camera, rn::camera::kRotationFlag, 0);
        store.SetDword(camera, rn::camera::kMirroring, 0);
        store.SetString(camera, rn::camera::kUrl, url);
        store.SetDword(rn::kAppKey, rn::app::kCurrentCameraIndex, 0);
        store.SetDword(rn::kAppKey, rn::app::kAutoStartLastCamera, 1);
        store.SetString(rn::kAppKey, rn::app::kDbConnectionString,
                        QStringLiteral("Provider=SQLite;Data Source=") + dbFile);
    }

    // The service, and this process attached to it with the settings read into `hub`.
    void StartServiceAndAttach(shell::ProgramObjects& objects) {
        ASSERT_TRUE(service.Start({OSTROVID_SVC_BINARY, "-debug"}, -1, env.Path("svc.out")));
        ASSERT_NO_FATAL_FAILURE(AttachToService(objects, hub));
        ASSERT_EQ(hub->Snapshot()->cameraList.Count, 1u);
    }

    ProgramEnvironment env;
    std::unique_ptr<settings::SettingsHub> hub;
    std::unique_ptr<recognition::FaceModels> models;
    cv::Mat photo;
    testsupport::ChildProcess service;
    testsupport::ChildProcess camera;
};

}  // namespace endtoend
