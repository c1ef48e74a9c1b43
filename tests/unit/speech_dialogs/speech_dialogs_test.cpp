// The speech test dialogs (with the "%" insertion pop-up) and the person card's " Тест" on the
// offscreen platform, with a voice that reports its words on a timer.

#include "app/ui/database_browser.h"
#include "app/ui/person_card_widget.h"
#include "app/ui/speech_test_dialog.h"
#include "settings/settings_hub.h"
#include "tests/integration/database/db_test_support.h"
#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using actions::SpeechProgress;
using actions::SpeechTestKind;

// Reports each space-separated word, then the end, one report per 5 ms tick (or, when not timed,
// only what the test emits); its reports stop with it.
class FakeVoice final : public actions::SpeechVoice {
public:
    FakeVoice(QStringList& spoken, bool timed) : spoken_(spoken), timed_(timed) {}
    QString Description() const override { return QStringLiteral("Тестовый голос"); }
    void Emit(const SpeechProgress& progress) { onProgress(progress); }
    void Speak(const QString& text) override {
        spoken_.append(text);
        if (!timed_) return;
        int tick = 0;
        qsizetype start = 0;
        for (const QString& word : text.split(u' ')) {
            const SpeechProgress progress{SpeechProgress::Kind::Word, start, word.size()};
            QTimer::singleShot(++tick * 5, &timers_, [this, progress] { Emit(progress); });
            start += word.size() + 1;
        }
        QTimer::singleShot(++tick * 5, &timers_, [this] { Emit({SpeechProgress::Kind::EndOfText, 0, 0}); });
    }

private:
    QStringList& spoken_;
    bool timed_;
    QObject timers_;
};

struct FakeVoices final : actions::SpeechVoices {
    int VoiceCount() const override { return makesVoices ? 1 : 0; }
    std::unique_ptr<actions::SpeechVoice> CreateVoice() override {
        if (!makesVoices) return nullptr;
        auto voice = std::make_unique<FakeVoice>(spoken, timed);
        last = voice.get();
        return voice;
    }
    bool makesVoices = true;
    bool timed = true;
    QStringList spoken;  // every text any voice was given
    FakeVoice* last = nullptr;
};

bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000) QTest::qWait(5);
    return done();
}

// Runs `act` on the next modal speech test dialog once its voice is silent.
void WhenSilent(std::function<void(ui::SpeechTestDialog*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
        auto* dialog = dynamic_cast<ui::SpeechTestDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || dialog->State().Speaking()) return;
        timer->deleteLater();
        timer->stop();
        act(dialog);
    });
    timer->start(5);
}

QLineEdit* Field(QWidget* dialog) { return dialog->findChild<QLineEdit*>(QStringLiteral("speechText")); }
QPushButton* Button(QWidget* dialog, const char* name) {
    return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
}

TEST(SpeechTestDialogs, ThePersonDialogSpeaksOnOpeningAndItsFieldFollowsTheVoice) {
    FakeVoices voices;
    voices.timed = false;
    ui::SpeechTestDialog dialog(SpeechTestKind::PersonText, voices, QStringLiteral("Здравствуйте, Иван Петрович"));
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("voice"))->text(), QStringLiteral("Тестовый голос"));
    QLineEdit* field = Field(&dialog);
    QPushButton* speak = Button(&dialog, "speak");
    dialog.show();
    ASSERT_EQ(voices.spoken, QStringList{QStringLiteral("Здравствуйте, Иван Петрович")});
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_FALSE(speak->isEnabled());
    voices.last->Emit({SpeechProgress::Kind::Word, 14, 4});
    EXPECT_EQ(field->selectedText(), QStringLiteral("Иван"));
    voices.last->Emit({SpeechProgress::Kind::Word, 19, 80});
    EXPECT_EQ(field->selectedText(), QStringLiteral("Петрович"));
    voices.last->Emit({SpeechProgress::Kind::EndOfText, 0, 0});
    EXPECT_EQ(field->selectedText(), field->text());
    EXPECT_FALSE(field->isReadOnly());
    EXPECT_TRUE(speak->isEnabled());

    field->setText(QStringLiteral("Добрый <emph>вечер</emph>"));
    speak->click();
    EXPECT_EQ(voices.spoken.last(), QStringLiteral("Добрый <emph>вечер</emph>"));
    EXPECT_FALSE(speak->isEnabled());

    // Without a voice of their own the speaking dialogs close at once (else these calls would wait).
    voices.makesVoices = false;
    ui::RunPronunciationTest(nullptr, voices, QStringLiteral("текст"));
    EXPECT_EQ(ui::RunPersonSpeechTest(nullptr, voices, QStringLiteral("текст")), std::nullopt);
    EXPECT_EQ(voices.spoken.size(), 2);
}

TEST(SpeechTestDialogs, TheTemplateDialogInsertsOnPercentAndIsHeardWithThePreviewSamples) {
    FakeVoices voices;
    ui::SpeechTestDialog dialog(SpeechTestKind::Template, voices, QStringLiteral("Внимание, %ДР%"));
    dialog.show();
    QLineEdit* field = Field(&dialog);
    auto* menu = dialog.findChild<QMenu*>(QStringLiteral("RecognizedPerson"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions().size(), 12);
    EXPECT_TRUE(menu->actions()[7]->isSeparator());
    EXPECT_EQ(menu->actions()[11]->text(), QStringLiteral("<silence msec=\"1000\"/>\tПауза в 1 секунду"));

    field->setFocus();
    field->setCursorPosition(10);
    QTest::keyClick(field, '%');
    ASSERT_TRUE(WaitFor([menu] { return menu->isVisible(); }));
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_EQ(field->text(), QStringLiteral("Внимание, %%ДР%"));
    QTest::keyClick(field, '%');
    ASSERT_TRUE(WaitFor([menu] { return menu->isVisible(); }));
    menu->actions()[1]->trigger();  // %ФИО%
    menu->close();
    EXPECT_EQ(field->text(), QStringLiteral("Внимание, %%ФИО%%ДР%"));
    EXPECT_EQ(field->cursorPosition(), 16);
    EXPECT_TRUE(voices.spoken.isEmpty());  // the template dialog itself never speaks

    QString heard;
    WhenSilent([&heard](ui::SpeechTestDialog* pronunciation) {
        heard = pronunciation->objectName() + '|' + Field(pronunciation)->selectedText() + '|' +
                Button(pronunciation, "speak")->text();
        Button(pronunciation, "close")->click();
    });
    Button(&dialog, "speak")->click();
    const QString expanded = QStringLiteral("Внимание, %Сергеев Иван Петрович. Дата рождения 1.4.1970");
    EXPECT_EQ(voices.spoken, QStringList{expanded});
    EXPECT_EQ(heard, "PronunciationTestDialog|" + expanded + "| Повтор");
    EXPECT_EQ(dialog.State().Text(), QStringLiteral("Внимание, %%ФИО%%ДР%"));
}

TEST(SpeechTestDialogs, TheCardsTestOpensThePersonDialogAndItsOkReplacesTheSpeech) {
    dbtest::TestDatabase db(database::DbProvider::SQLite);
    database::DbConnection seed;
    seed.Open(db.ConnectionString());
    const int person = dbtest::AddPerson(seed, "Титов");
    dbtest::Exec(seed, QStringLiteral("UPDATE PERSONS SET SPEECH = ? WHERE PERSON_ID = ?"),
                 {QStringLiteral("Пришел Титов"), person});
    settings::SettingsState state;
    state.dbWin = {1, 1, 1};
    settings::SettingsHub hub(state);
    const shell::Journal journal;
    dbtest::ScriptedDialogs dialogs;
    FakeVoices voices;
    ui::DatabaseBrowser window(browser::OpenBrowserConnection(dialogs, db.ConnectionString()), db.ConnectionString(),
                               journal, hub, nullptr, nullptr, &voices);
    window.SelectPerson(person);
    auto* test = window.Card()->findChild<QPushButton*>(QStringLiteral("testSpeech"));
    auto* speech = window.Card()->findChild<QLineEdit*>(QStringLiteral("speech"));
    ASSERT_TRUE(test->isEnabled());

    WhenSilent([](ui::SpeechTestDialog* dialog) {
        Field(dialog)->setText(QStringLiteral("Пришел <spell>Титов</spell>"));
        Button(dialog, "ok")->click();
    });
    test->click();
    EXPECT_EQ(voices.spoken, QStringList{QStringLiteral("Пришел Титов")});
    EXPECT_EQ(speech->text(), QStringLiteral("Пришел <spell>Титов</spell>"));
    EXPECT_TRUE(window.Card()->Editor().IsDirty());
}

}  // namespace
