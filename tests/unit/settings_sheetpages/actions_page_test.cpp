// The alerts page offscreen: the event and list row decide which record the controls edit and
// show, the sound and speech tests get that record's data, and the script check runs the runner
// as a real child process without holding up the window.

#include "app/ui/actions_page.h"
#include "platform/fixedtext.h"
#include "tests/support/widget_driver.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

using testsupport::Child;

bool Shown(QWidget& page, const char* name) { return Child<QWidget>(page, name)->isVisibleTo(&page); }

struct Recorded {
    QStringList files;
    std::vector<actions::BuiltInSound> builtIn;
    QStringList speechTexts;
    QStringList fileCaptions;
    std::vector<actions::TemplateFamily> mailFamilies;
    QStringList mailSubjects;
    std::vector<ui::PageNotice> notices;
};

ui::ActionsPage::Services FakeServices(Recorded& seen, bool sound = true,
                                       ui::SpeechSupport speech = ui::SpeechSupport::Ready) {
    ui::ActionsPage::Services services;
    services.soundAvailable = [sound] { return sound; };
    services.playFile = [&seen](const QString& file) { seen.files << file; };
    services.playBuiltIn = [&seen](actions::BuiltInSound played) { seen.builtIn.push_back(played); };
    services.speechSupport = [speech] { return speech; };
    services.speechTest = [&seen](QWidget*, const QString& text) {
        seen.speechTexts << text;
        return std::optional<QString>(QStringLiteral("Внимание, %ПСМ%"));
    };
    services.chooseFile = [&seen](QWidget*, const QString& caption, const QString&, const QString& filter) {
        seen.fileCaptions << caption + '|' + filter;
        return std::optional<QString>(QStringLiteral("/opt/") + QString(300, u'x'));
    };
    services.editMail = [&seen](QWidget*, actions::TemplateFamily family, const ui::MailParameters& parameters) {
        seen.mailFamilies.push_back(family);
        seen.mailSubjects << parameters.subject;
        return std::optional<ui::MailParameters>(
            {QStringLiteral("ops@site"), QStringLiteral("Тема"), QStringLiteral("Строка\r\nвторая")});
    };
    services.runnerPath = QStringLiteral("/bin/false");
    services.notice = [&seen](QWidget*, const ui::PageNotice& notice) { seen.notices.push_back(notice); };
    return services;
}

TEST(ActionsPage, TheChosenEventAndRowDecideWhatShowsAndWhatIsEdited) {
    auto copy = std::make_unique<settings::SettingsState>();
    platform::CopyToFixed(copy->alerts.Items[2].Speech, QStringLiteral("Тревога %ФИО%"));
    copy->upActions.Script = 1;
    copy->upActions.ScriptType = 1;
    platform::CopyToFixed(copy->upActions.ScriptFile, QStringLiteral("/srv/unknown.js"));
    platform::CopyToFixed(copy->upActions.SubjectFormat, QStringLiteral("Чужой"));
    Recorded seen;
    ui::ActionsPage page(*copy, FakeServices(seen));

    // Nothing of a record shows until a list row is chosen; the focus alone chooses none.
    EXPECT_TRUE(Shown(page, "AlertList"));
    EXPECT_FALSE(Shown(page, "AlertControls"));
    EXPECT_FALSE(Shown(page, "RecordControls"));
    Child<QListWidget>(page, "AlertList")->setCurrentRow(2);
    ASSERT_TRUE(Shown(page, "AlertControls"));
    EXPECT_TRUE(Shown(page, "RecordControls"));
    EXPECT_FALSE(Shown(page, "SoundNote"));
    EXPECT_FALSE(Shown(page, "SpeechNote"));

    auto* wavFile = Child<QLineEdit>(page, "WavFile");
    auto* testWav = Child<QPushButton>(page, "TestWav");
    EXPECT_FALSE(wavFile->isEnabled());
    EXPECT_FALSE(testWav->isEnabled());
    Child<QCheckBox>(page, "PlayWav")->click();
    EXPECT_EQ(copy->alerts.Items[2].PlayWav, 1);
    EXPECT_TRUE(testWav->isEnabled());
    testWav->click();  // no file: the red list's own sound
    QTest::keyClicks(wavFile, QStringLiteral("/snd/red.wav"));
    testWav->click();
    EXPECT_EQ(seen.builtIn, std::vector{actions::BuiltInSound::RedList});
    EXPECT_EQ(seen.files, QStringList{QStringLiteral("/snd/red.wav")});
    EXPECT_EQ(platform::FromFixed(copy->alerts.Items[2].WavFile), QStringLiteral("/snd/red.wav"));

    // The speech test gets the row's text and its OK text replaces it.
    auto* speech = Child<QLineEdit>(page, "Speech");
    EXPECT_EQ(speech->text(), QStringLiteral("Тревога %ФИО%"));
    Child<QPushButton>(page, "TestSpeech")->click();
    EXPECT_EQ(seen.speechTexts, QStringList{QStringLiteral("Тревога %ФИО%")});
    EXPECT_EQ(platform::FromFixed(copy->alerts.Items[2].Speech), QStringLiteral("Внимание, %ПСМ%"));
    EXPECT_EQ(speech->text(), QStringLiteral("Внимание, %ПСМ%"));
    speech->clear();
    EXPECT_FALSE(Child<QPushButton>(page, "TestSpeech")->isEnabled());

    // The script controls and the mail button follow their check boxes.
    EXPECT_FALSE(Shown(page, "ScriptControls"));
    Child<QCheckBox>(page, "Script")->click();
    ASSERT_TRUE(Shown(page, "ScriptControls"));
    // Type 0 is started as a program, and the page says so.
    auto* executable = Child<QRadioButton>(page, "Executable");
    EXPECT_EQ(executable->text(), QStringLiteral("Исполняемый файл"));
    EXPECT_TRUE(executable->isChecked());
    Child<QPushButton>(page, "BrowseScript")->click();
    EXPECT_EQ(seen.fileCaptions, QStringList{QStringLiteral("Выберите файл скрипта|Все файлы (*)")});
    seen.fileCaptions.clear();
    seen.notices.clear();
    Child<QRadioButton>(page, "JScript")->click();
    EXPECT_FALSE(Child<QPushButton>(page, "CheckScript")->isEnabled());
    QTest::keyClicks(Child<QLineEdit>(page, "ScriptFile"), QStringLiteral("/srv/red.js"));
    EXPECT_TRUE(Child<QPushButton>(page, "CheckScript")->isEnabled());
    EXPECT_EQ(copy->alerts.Items[2].Script, 1);
    EXPECT_EQ(copy->alerts.Items[2].ScriptType, 1);
    // A chosen path the record cannot hold whole is refused rather than cut.
    Child<QPushButton>(page, "BrowseScript")->click();
    EXPECT_EQ(seen.fileCaptions, QStringList{QStringLiteral("Выберите файл скрипта|JScript (*.js)")});
    ASSERT_EQ(seen.notices.size(), 1u);
    EXPECT_EQ(seen.notices[0].kind, ui::NoticeKind::Error);
    EXPECT_EQ(platform::FromFixed(copy->alerts.Items[2].ScriptFile), QStringLiteral("/srv/red.js"));
    // The other rows are untouched.
    EXPECT_EQ(copy->alerts.Items[1].PlayWav, 0);
    EXPECT_EQ(copy->alerts.Items[1].Script, 0);

    // Another row shows its own record.
    Child<QListWidget>(page, "AlertList")->setCurrentRow(1);
    EXPECT_FALSE(Child<QCheckBox>(page, "PlayWav")->isChecked());
    EXPECT_TRUE(wavFile->text().isEmpty());
    EXPECT_FALSE(Shown(page, "ScriptControls"));

    // The unrecognized person: no list, no alerts; its own script and mail.
    Child<QComboBox>(page, "Event")->setCurrentIndex(1);
    EXPECT_FALSE(Shown(page, "AlertList"));
    EXPECT_FALSE(Shown(page, "AlertControls"));
    ASSERT_TRUE(Shown(page, "ScriptControls"));
    EXPECT_TRUE(Child<QRadioButton>(page, "JScript")->isChecked());
    EXPECT_EQ(Child<QLineEdit>(page, "ScriptFile")->text(), QStringLiteral("/srv/unknown.js"));
    EXPECT_FALSE(Shown(page, "MailParameters"));
    Child<QCheckBox>(page, "SendMail")->click();
    ASSERT_TRUE(Shown(page, "MailParameters"));
    Child<QPushButton>(page, "MailParameters")->click();
    EXPECT_EQ(seen.mailFamilies, std::vector{actions::TemplateFamily::UnrecognizedMail});
    EXPECT_EQ(seen.mailSubjects, QStringList{QStringLiteral("Чужой")});
    EXPECT_EQ(copy->upActions.SendMail, 1);
    EXPECT_EQ(platform::FromFixed(copy->upActions.BodyFormat), QStringLiteral("Строка\r\nвторая"));
    EXPECT_EQ(platform::FromFixed(copy->alerts.Items[2].SubjectFormat), QString());
}

TEST(ActionsPage, MissingSoundAndSpeechAreNamedInPlaceOfTheirControls) {
    struct Case {
        bool sound;
        ui::SpeechSupport speech;
        const char16_t* soundNote;
        const char16_t* speechNote;
    };
    const Case cases[] = {
        {false, ui::SpeechSupport::NoRussianVoice, u"Отсутствуют устройства воспроизведения звука",
         u"Отсутствует русский голос Microsoft Speech"},
        {true, ui::SpeechSupport::NoEngine, nullptr, u"Microsoft Speech не поддерживается"},
    };
    for (const Case& c : cases) {
        auto copy = std::make_unique<settings::SettingsState>();
        Recorded seen;
        ui::ActionsPage page(*copy, FakeServices(seen, c.sound, c.speech));
        Child<QListWidget>(page, "AlertList")->setCurrentRow(0);
        EXPECT_EQ(Shown(page, "SoundControls"), c.sound);
        EXPECT_EQ(Shown(page, "SoundNote"), !c.sound);
        if (c.soundNote) {
            EXPECT_EQ(Child<QLabel>(page, "SoundNote")->text(), QString::fromUtf16(c.soundNote));
        }
        EXPECT_FALSE(Shown(page, "SpeechControls"));
        EXPECT_EQ(Child<QLabel>(page, "SpeechNote")->text(), QString::fromUtf16(c.speechNote));
        EXPECT_TRUE(Shown(page, "CSV"));
    }
}

// A runner that takes its time and repeats its arguments, as the check's child process.
QString WriteRunner(const QTemporaryDir& dir, const QByteArray& body) {
    const QString path = dir.filePath(QStringLiteral("runner.sh"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

TEST(ActionsPage, TheScriptCheckRunsTheRunnerWhileTheWindowGoesOn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto copy = std::make_unique<settings::SettingsState>();
    copy->upActions.Script = 1;
    platform::CopyToFixed(copy->upActions.ScriptFile, QStringLiteral("/srv/my script.vbs"));
    Recorded seen;
    ui::ActionsPage::Services services = FakeServices(seen);
    services.runnerPath = WriteRunner(dir, "sleep 0.5\necho \"checked $1|$2|$3\"\n");
    ui::ActionsPage page(*copy, services);
    page.show();
    Child<QComboBox>(page, "Event")->setCurrentIndex(1);
    auto* check = Child<QPushButton>(page, "CheckScript");

    QElapsedTimer clock;
    clock.start();
    check->click();
    EXPECT_LT(clock.elapsed(), 400);
    EXPECT_TRUE(page.CheckRunning());
    EXPECT_FALSE(check->isEnabled());
    // The window goes on: timers fire and typing reaches the copy while the runner works.
    bool ticked = false;
    QTimer::singleShot(50, &page, [&ticked] { ticked = true; });
    EXPECT_TRUE(QTest::qWaitFor([&ticked] { return ticked; }, 300));
    QTest::keyClicks(Child<QLineEdit>(page, "ScriptFile"), QStringLiteral("x"));
    EXPECT_EQ(platform::FromFixed(copy->upActions.ScriptFile), QStringLiteral("/srv/my script.vbsx"));
    EXPECT_TRUE(page.CheckRunning());
    EXPECT_FALSE(check->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&seen] { return !seen.notices.empty(); }, 5000));
    EXPECT_EQ(seen.notices[0].kind, ui::NoticeKind::Information);
    EXPECT_EQ(seen.notices[0].text, QStringLiteral("checked --check|/srv/my script.vbs|0"));
    EXPECT_FALSE(page.CheckRunning());
    EXPECT_TRUE(check->isEnabled());

    // A runner that fails without a word is a failed check, not a passed one.
    seen.notices.clear();
    services.runnerPath = QStringLiteral("/bin/false");
    {
        ui::ActionsPage failing(*copy, services);
        Child<QComboBox>(failing, "Event")->setCurrentIndex(1);
        Child<QPushButton>(failing, "CheckScript")->click();
        ASSERT_TRUE(QTest::qWaitFor([&seen] { return !seen.notices.empty(); }, 5000));
        EXPECT_EQ(seen.notices[0].kind, ui::NoticeKind::Error);
        EXPECT_EQ(seen.notices[0].text, QStringLiteral("Процесс Velox.exe завершил проверку скрипта с кодом 1."));
    }
    seen.notices.clear();
    services.runnerPath = dir.filePath(QStringLiteral("missing"));
    {
        ui::ActionsPage missing(*copy, services);
        Child<QComboBox>(missing, "Event")->setCurrentIndex(1);
        Child<QPushButton>(missing, "CheckScript")->click();
        ASSERT_TRUE(QTest::qWaitFor([&seen] { return !seen.notices.empty(); }, 5000));
        EXPECT_EQ(seen.notices[0].kind, ui::NoticeKind::Error);
        EXPECT_TRUE(seen.notices[0].text.startsWith(QStringLiteral("Ошибка запуска приложения Velox.exe: ")));
    }
    // A page closed during a check ends the runner and reports nothing.
    seen.notices.clear();
    services.runnerPath = WriteRunner(dir, "exec sleep 30\n");
    clock.restart();
    {
        ui::ActionsPage closing(*copy, services);
        Child<QComboBox>(closing, "Event")->setCurrentIndex(1);
        Child<QPushButton>(closing, "CheckScript")->click();
        EXPECT_TRUE(closing.CheckRunning());
    }
    QTest::qWait(50);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(seen.notices.empty());
}

}  // namespace
