// The person card's rules without a display: markers, the dirty flag, property edits, " Тест"
// and the question before unsaved edits are dropped.

#include "app/browser/card_editor.h"

#include "platform/oledate.h"
#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using browser::CardEditor;
using browser::CardField;
using browser::LeaveOutcome;
using database::Answer;
using database::Gender;

// A stored date of birth with a time of day, as another program may have written it.
constexpr double kStoredBirth = 30000.25;

database::PersonCard StoredCard() {
    database::PersonCard card;
    card.personId = 7;
    card.lastRead.surname = QStringLiteral("Иванов");
    card.lastRead.forename = QStringLiteral("Иван");
    card.lastRead.gender = Gender::Male;
    card.lastRead.dateOfBirth = kStoredBirth;
    card.lastRead.speech = QStringLiteral("Здравствуйте");
    for (const char16_t* stored : {u"180", u""}) {
        auto value = std::make_unique<database::PropValue>();
        value->valueId = stored[0] != 0 ? 11 : 0;
        value->propId = 3;
        value->name = QStringLiteral("Рост");
        value->storedValue = QString::fromUtf16(stored);
        card.values.push_back(std::move(value));
    }
    // The browser may hand over a card that still holds stale edits: showing starts afresh.
    card.edited.surname = QStringLiteral("старое");
    card.values[0]->editedValue = QStringLiteral("старое");
    card.values[0]->changed = true;
    return card;
}

QDate StoredDay() {
    const platform::LocalTime local = platform::SplitOleDate(kStoredBirth);
    return QDate(local.year, local.month, local.day);
}

class CardEditorTest : public ::testing::Test {
protected:
    void SetUp() override { editor_.Show(StoredCard()); }

    CardEditor editor_;
};

TEST_F(CardEditorTest, TextsAreTrimmedCutAndComparedWithoutCase) {
    EXPECT_FALSE(editor_.IsDirty());
    EXPECT_EQ(editor_.Text(CardField::Surname), QStringLiteral("Иванов"));
    for (CardField field : browser::kCardFields) EXPECT_FALSE(editor_.Differs(field));

    // Refilling an edit with its own text is no edit.
    editor_.SetText(CardField::Surname, QStringLiteral("Иванов"));
    EXPECT_FALSE(editor_.IsDirty());

    editor_.SetText(CardField::Surname, QStringLiteral("  иВАНОВ \t"));
    EXPECT_EQ(editor_.Text(CardField::Surname), QStringLiteral("иВАНОВ"));
    EXPECT_FALSE(editor_.Differs(CardField::Surname));
    EXPECT_TRUE(editor_.IsDirty());

    editor_.SetText(CardField::Surname, QStringLiteral("Петров"));
    EXPECT_TRUE(editor_.Differs(CardField::Surname));
    EXPECT_FALSE(editor_.Differs(CardField::Forename));
    // Back to the stored value: the marker goes, the save stays offered.
    editor_.SetText(CardField::Surname, QStringLiteral("Иванов "));
    EXPECT_FALSE(editor_.Differs(CardField::Surname));
    EXPECT_TRUE(editor_.IsDirty());

    editor_.SetText(CardField::Alias, QStringLiteral("   ") + QString(20, u'a'));
    EXPECT_EQ(editor_.Text(CardField::Alias), QString(15, u'a'));
    editor_.SetText(CardField::ExternalKey, QString(40, u'k'));
    EXPECT_EQ(editor_.Text(CardField::ExternalKey).size(), 31);
    editor_.SetText(CardField::SecondName, QString(70, u'о'));
    EXPECT_EQ(editor_.Text(CardField::SecondName).size(), 63);
    // A cut that ends in a blank leaves none behind.
    editor_.SetText(CardField::Description, QString(250, u'd') + QStringLiteral("     tail"));
    EXPECT_EQ(editor_.Text(CardField::Description), QString(250, u'd'));
    EXPECT_TRUE(editor_.Differs(CardField::Description));
    EXPECT_EQ(CardEditor::InputLimit(CardField::Surname), 63);
    EXPECT_EQ(CardEditor::InputLimit(CardField::Alias), 15);
    EXPECT_EQ(CardEditor::InputLimit(CardField::ExternalKey), 31);
    EXPECT_EQ(CardEditor::InputLimit(CardField::Speech), 255);
}

TEST_F(CardEditorTest, GenderAndDateCompareExactly) {
    editor_.SetGender(Gender::Male);
    EXPECT_FALSE(editor_.IsDirty());
    editor_.SetGender(Gender::Female);
    EXPECT_TRUE(editor_.Differs(CardField::Gender));
    editor_.SetGender(Gender::Male);
    EXPECT_FALSE(editor_.Differs(CardField::Gender));
    EXPECT_TRUE(editor_.IsDirty());

    CardEditor dates;
    dates.Show(StoredCard());
    ASSERT_EQ(dates.DateOfBirth(), StoredDay());
    // The picker showing the stored day keeps the stored time of day: nothing changed.
    dates.SetDateOfBirth(StoredDay());
    EXPECT_FALSE(dates.IsDirty());
    EXPECT_EQ(dates.Card().edited.dateOfBirth, kStoredBirth);

    dates.SetDateOfBirth(StoredDay().addDays(1));
    EXPECT_TRUE(dates.Differs(CardField::DateOfBirth));
    EXPECT_EQ(dates.Card().edited.dateOfBirth, database::OleDateOfDay(StoredDay().addDays(1)));
    dates.SetDateOfBirth(std::nullopt);
    EXPECT_EQ(dates.Card().edited.dateOfBirth, database::kNoDateOfBirth);
    EXPECT_EQ(dates.DateOfBirth(), std::nullopt);
    EXPECT_TRUE(dates.Differs(CardField::DateOfBirth));
    dates.SetDateOfBirth(StoredDay());
    EXPECT_FALSE(dates.Differs(CardField::DateOfBirth));
    EXPECT_TRUE(dates.IsDirty());
}

TEST_F(CardEditorTest, PropertyEditsMarkTheirRowsAndClearing) {
    ASSERT_EQ(editor_.PropertyCount(), 2u);
    EXPECT_EQ(editor_.Property(0).editedValue, QStringLiteral("180"));
    EXPECT_FALSE(editor_.Property(0).changed);
    EXPECT_TRUE(editor_.CanClearProperty(0));
    EXPECT_FALSE(editor_.CanClearProperty(1));
    EXPECT_FALSE(editor_.CanClearProperty(2));

    editor_.EditProperty(1, QString(300, u'в'));
    EXPECT_EQ(editor_.Property(1).editedValue.size(), 255);
    EXPECT_TRUE(editor_.Property(1).changed);
    EXPECT_TRUE(editor_.IsDirty());
    EXPECT_TRUE(editor_.CanClearProperty(1));

    editor_.ClearProperty(0);
    EXPECT_TRUE(editor_.Property(0).editedValue.isEmpty());
    EXPECT_TRUE(editor_.Property(0).changed);
    EXPECT_FALSE(editor_.CanClearProperty(0));
    editor_.EditProperty(0, QStringLiteral("180"));
    EXPECT_FALSE(editor_.Property(0).changed);

    CardEditor untouched;
    untouched.Show(StoredCard());
    untouched.ClearProperty(1);  // already empty: nothing to do
    untouched.EditProperty(0, QStringLiteral("180"));
    EXPECT_FALSE(untouched.IsDirty());
}

TEST_F(CardEditorTest, SpeechTestNeedsTextAndAVoice) {
    EXPECT_FALSE(editor_.CanTestSpeech()) << "no voice was found";
    editor_.SetSpeechVoiceCount(2);
    EXPECT_TRUE(editor_.CanTestSpeech());
    editor_.SetText(CardField::Speech, QStringLiteral("   "));
    EXPECT_FALSE(editor_.CanTestSpeech());

    CardEditor empty;
    empty.SetSpeechVoiceCount(1);
    EXPECT_FALSE(empty.CanTestSpeech());
    EXPECT_FALSE(empty.HasPerson());
    EXPECT_EQ(empty.PropertyCount(), 0u);
}

TEST_F(CardEditorTest, LeavingWithoutEditsAsksNothingAndNoOrCancelDecide) {
    dbtest::ScriptedDialogs dialogs;
    database::DbConnection unused;
    shell::Journal journal(nullptr);
    database::DbSession session{unused, dialogs, dialogs, QString(), journal};

    EXPECT_EQ(editor_.ConfirmLeave(session), LeaveOutcome::Proceed);
    EXPECT_TRUE(dialogs.questions.isEmpty());

    editor_.SetText(CardField::Surname, QStringLiteral("Петров"));
    editor_.EditProperty(1, QStringLiteral("синий"));
    dialogs.answers = {Answer::Cancel, Answer::No};
    EXPECT_EQ(editor_.ConfirmLeave(session), LeaveOutcome::Stay);
    EXPECT_EQ(editor_.Text(CardField::Surname), QStringLiteral("Петров")) << "Cancel keeps the edits";
    EXPECT_TRUE(editor_.IsDirty());

    EXPECT_EQ(editor_.ConfirmLeave(session), LeaveOutcome::Proceed);
    EXPECT_EQ(dialogs.questions, QStringList({browser::kSaveChangesQuestion, browser::kSaveChangesQuestion}));
    EXPECT_EQ(editor_.Text(CardField::Surname), QStringLiteral("Иванов")) << "No discards the edits";
    EXPECT_TRUE(editor_.Property(1).editedValue.isEmpty());
    EXPECT_FALSE(editor_.Property(1).changed);
    EXPECT_FALSE(editor_.IsDirty());
    EXPECT_EQ(editor_.ConfirmLeave(session), LeaveOutcome::Proceed);
    EXPECT_EQ(dialogs.questions.size(), 2);
}

}  // namespace
