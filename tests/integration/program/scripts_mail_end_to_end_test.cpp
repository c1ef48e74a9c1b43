// The whole program in this process with a script and mail for recognized persons and mail for
// unknown faces: the program's own workers run the operator's script in the runner beside the
// program and send to a real SMTP server (scripts/test-services.d/smtp.sh). The camera shows an
// enrolled man beside a woman the database does not know: his recognition gives one script run and
// one mail with his face; when both leave the view, one mail carries her framed pictures.

#include "platform/hostinfo.h"
#include "tests/integration/program/end_to_end_fixture.h"
#include "tests/integration/program/silent_alerts.h"
#include "tests/integration/program/switchable_camera.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace {

using namespace endtoend;

QStringList FilesIn(const QString& folder, const QString& pattern) {
    QStringList files;
    QDirIterator it(folder, {pattern}, QDir::Files);
    while (it.hasNext()) files.append(it.next());
    files.sort();
    return files;
}

// A received message as Python's email package reads it.
QJsonObject ParseMail(const QString& eml) {
    QProcess parser;
    parser.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(MAIL_PARSER), eml});
    parser.waitForFinished(30000);
    return QJsonDocument::fromJson(parser.readAllStandardOutput()).object();
}

cv::Mat DecodedAttachment(const QJsonValue& attachment) {
    const QByteArray bytes = QByteArray::fromBase64(attachment[QStringLiteral("data")].toString().toLatin1());
    return cv::imdecode(std::vector<uchar>(bytes.begin(), bytes.end()), cv::IMREAD_COLOR);
}

class ScriptsMailEndToEnd : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        if (HasFatalFailure()) return;
        smtpFolder = qEnvironmentVariable("OSTROVID_TEST_SMTP_DIR");
        smtpPort = uint32_t(qEnvironmentVariableIntValue("OSTROVID_TEST_SMTP_PLAIN_PORT"));
        ASSERT_FALSE(smtpFolder.isEmpty()) << "no SMTP test servers (scripts/test-services.d/smtp.sh)";
        const QString tag = platform::NewGuidText().remove(u'{').remove(u'}').toLower();
        recognizedAddress = QStringLiteral("known-%1@example.org").arg(tag);
        unknownAddress = QStringLiteral("unknown-%1@example.org").arg(tag);
        runs = env.dir.filePath("runs");
        ASSERT_TRUE(QDir().mkpath(runs));
    }

    // Writes where it ran, its environment, its standard input and a copy of its picture.
    QString WriteScript() const {
        const QString file = env.dir.filePath("on-recognized.sh");
        QFile script(file);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "out=\"%1/run-$$\"\n"
                                    "env | grep '^OSTROVID_' > \"$out.env\"\n"
                                    "cat > \"$out.json\"\n"
                                    "cp \"$OSTROVID_IMAGE_FILE\" \"$out.jpg\"\n")
                         .arg(runs)
                         .toUtf8());
        script.close();
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file;
    }

    void WriteActionSettings(platform::RegistryStore& store, const QString& scriptFile) {
        for (int record = 0; record < settings::kAlertCount; ++record) {
            const QString key = rn::NumberedKey(rn::kAlertsKey, record);
            ASSERT_EQ(store.CreateKey(key), 0);
            const bool all = record == 0;
            store.SetDword(key, rn::alert::kPlayWav, 0);
            store.SetDword(key, rn::alert::kCsv, 0);
            store.SetDword(key, rn::alert::kScript, all ? 1 : 0);
            store.SetDword(key, rn::alert::kScriptType, 0);
            store.SetString(key, rn::alert::kScriptFile, all ? scriptFile : QString());
            store.SetDword(key, rn::alert::kSendMail, all ? 1 : 0);
            store.SetString(key, rn::alert::kRecepients, all ? recognizedAddress : QString());
            store.SetString(key, rn::alert::kSubjectFormat, all ? QStringLiteral("Распознан %ФИО%") : QString());
            store.SetString(key, rn::alert::kBodyFormat, all ? QStringLiteral("У камеры %ФИО%.") : QString());
        }
        ASSERT_EQ(store.CreateKey(rn::kUPActionsKey), 0);
        store.SetDword(rn::kUPActionsKey, rn::alert::kScript, 0);
        store.SetDword(rn::kUPActionsKey, rn::alert::kSendMail, 1);
        store.SetString(rn::kUPActionsKey, rn::alert::kRecepients, unknownAddress);
        store.SetString(rn::kUPActionsKey, rn::alert::kSubjectFormat, QStringLiteral("Неизвестное лицо"));
        store.SetString(rn::kUPActionsKey, rn::alert::kBodyFormat, QStringLiteral("Неизвестное лицо ушло."));
        ASSERT_EQ(store.CreateKey(rn::kSmtpKey), 0);
        store.SetString(rn::kSmtpKey, rn::smtp::kServer, QStringLiteral("127.0.0.1"));
        store.SetDword(rn::kSmtpKey, rn::smtp::kServerPort, smtpPort);
        store.SetDword(rn::kSmtpKey, rn::smtp::kUseSsl, 0);
        store.SetDword(rn::kSmtpKey, rn::smtp::kAuthRequired, 0);
        store.SetString(rn::kSmtpKey, rn::smtp::kOriginator, QStringLiteral("Остров <ostrovid@example.org>"));
        for (const QString& form : {rn::kRecognizedPersons, rn::kUnrecognizedPersons}) {
            const QString key = rn::kScriptKey + u'\\' + form;
            ASSERT_EQ(store.CreateKey(key), 0);
            store.SetDword(key, rn::script::kTimeout, 20);
            store.SetDword(key, rn::script::kImgFileFormat, 0);
        }
    }

    QStringList Mails(const QString& address) const { return FilesIn(smtpFolder + u'/' + address, "*.eml"); }

    QString smtpFolder;
    uint32_t smtpPort = 0;
    QString recognizedAddress;
    QString unknownAddress;
    QString runs;
};

TEST_F(ScriptsMailEndToEnd, ARecognitionRunsTheScriptAndMailsTheFaceAndAnUnknownFaceMailsItsPictures) {
    const QString dbFile = env.dir.filePath("data/Vektra/Ostrovid/Ostrovid.db");
    ASSERT_NO_FATAL_FAILURE(EnrollPerson(dbFile));
    const auto faces = models->DetectFaces(photo, 1);
    ASSERT_EQ(faces.size(), 1u);
    const cv::Size chipSize = models->InterfaceDescriber().Describe(photo, faces[0])->chip.size();
    const QString scriptFile = WriteScript();
    testsupport::SwitchableCamera camera;
    ASSERT_TRUE(camera.Listening());
    camera.Show(photo);
    {
        platform::RegistryStore store(env.StorePath());
        ASSERT_NO_FATAL_FAILURE(WriteSettings(store, dbFile, camera.Url()));
        ASSERT_NO_FATAL_FAILURE(WriteActionSettings(store, scriptFile));
        ASSERT_EQ(store.Save(), 0);
    }

    shell::ProgramObjects objects;
    ASSERT_NO_FATAL_FAILURE(StartServiceAndAttach(objects));
    {
        testsupport::SilentAlerts alerts;
        app::ProgramWindow program(objects, *models, *hub, {&alerts, nullptr, nullptr});
        ASSERT_TRUE(program.Create());
        ui::MainFrame& frame = program.Frame();
        frame.show();

        ASSERT_TRUE(QTest::qWaitFor([&] { return HasRecognitionRow(frame, QStringLiteral("Иванов Пётр")); },
                                    kRecognitionLimitMs));
        QElapsedTimer sinceRecognition;
        sinceRecognition.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Mails(recognizedAddress).isEmpty(); }, 20000));
        std::printf("recognition row to the mail received by the server: %lld ms\n",
                    static_cast<long long>(sinceRecognition.elapsed()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !FilesIn(runs, "*.jpg").isEmpty(); }, 20000));
        // The person stays in view: nothing more.
        QTest::qWait(4000);
        ASSERT_EQ(Mails(recognizedAddress).size(), 1);
        ASSERT_EQ(FilesIn(runs, "*.env").size(), 1);

        const QJsonObject mail = ParseMail(Mails(recognizedAddress).front());
        EXPECT_EQ(mail[QStringLiteral("subject")].toString(), QStringLiteral("Распознан Иванов Пётр"));
        EXPECT_EQ(mail[QStringLiteral("body")].toString().trimmed(), QStringLiteral("У камеры Иванов Пётр."));
        const QJsonArray faceAttachments = mail[QStringLiteral("attachments")].toArray();
        ASSERT_EQ(faceAttachments.size(), 1);
        const cv::Mat mailedFace = DecodedAttachment(faceAttachments[0]);
        EXPECT_EQ(mailedFace.size(), chipSize);

        QFile environment(FilesIn(runs, "*.env").front());
        ASSERT_TRUE(environment.open(QIODevice::ReadOnly));
        const QString variables = QString::fromUtf8(environment.readAll());
        EXPECT_TRUE(variables.contains(QStringLiteral("OSTROVID_SURNAME=Иванов\n"))) << variables.toStdString();
        EXPECT_TRUE(variables.contains(QStringLiteral("OSTROVID_CAMERA_NAME=Вход\n"))) << variables.toStdString();
        QFile input(FilesIn(runs, "*.json").front());
        ASSERT_TRUE(input.open(QIODevice::ReadOnly));
        const QJsonObject request = QJsonDocument::fromJson(input.readAll()).object();
        EXPECT_EQ(request[QStringLiteral("forename")].toString(), QStringLiteral("Пётр"));
        EXPECT_EQ(request[QStringLiteral("personId")].toInt(), 1);
        EXPECT_EQ(cv::imread(FilesIn(runs, "*.jpg").front().toStdString()).size(), chipSize);

        // The woman beside him is not in the database: when both leave the view, her pictures are
        // mailed.
        camera.Show(testsupport::CameraFrame({}, 0));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Mails(unknownAddress).isEmpty(); }, 30000));
        QTest::qWait(2000);
        ASSERT_EQ(Mails(unknownAddress).size(), 1);
        const QJsonObject unknown = ParseMail(Mails(unknownAddress).front());
        EXPECT_EQ(unknown[QStringLiteral("subject")].toString(), QStringLiteral("Неизвестное лицо"));
        const QJsonArray pictures = unknown[QStringLiteral("attachments")].toArray();
        EXPECT_GE(pictures.size(), 2);
        EXPECT_LE(pictures.size(), int(actions::kMaxActionImages));
        for (const QJsonValue& picture : pictures) EXPECT_EQ(DecodedAttachment(picture).size(), photo.size());
        EXPECT_EQ(Mails(recognizedAddress).size(), 1);
        frame.close();
    }
    settings::SetProgramChannel(nullptr);
    objects.Close();
    EXPECT_EQ(QDir(env.dir.filePath("tmp")).entryList({QStringLiteral("ostv*")}, QDir::Files), QStringList{});
    ExpectLinesInOrder(env.Log(), {QStringLiteral("Запуск процесса Velox.exe для выполнения скрипта ") + scriptFile,
                                   QStringLiteral("Cкрипт '%1' отработал нормально: Код завершения 0").arg(scriptFile),
                                   QStringLiteral("Выполнение действий для события нераспознанной персоны")});
}

}  // namespace
