// Leaving a person card with unsaved edits against real databases of both providers: "Да" saves
// the fields and the values, a give-up of that save closes the browser.

#include "app/browser/card_editor.h"

#include "tests/integration/database/db_test_support.h"
#include "tests/integration/database/scripted_dialogs.h"

#include "app/database/person_ops.h"
#include "app/database/property_ops.h"

#include <gtest/gtest.h>

namespace dbtest {
namespace {

using browser::CardField;
using browser::LeaveOutcome;
using database::Answer;

class CardLeaveTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (IsSkipped()) return;
        browser_.Open(db_->ConnectionString());
        other_.Open(db_->ConnectionString());
        session_ = std::make_unique<database::DbSession>(
            database::DbSession{browser_, dialogs_, dialogs_, db_->ConnectionString(), journal_.Journal()});
        personId_ = AddPerson(other_, QStringLiteral("Иванов"));
        Exec(other_, QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, ?)"),
             {QStringLiteral("Рост")});
    }

    // The card as the browser fills it when the person is selected.
    database::PersonCard ReadCard() {
        database::PersonList list;
        EXPECT_EQ(database::HandleGetDbPersonsList(*session_, {1, 1, 1}, personId_, list), database::DbOpDone);
        database::PersonCard card;
        if (list.selected == nullptr) return card;
        card.personId = personId_;
        card.lastRead = list.selected->fields;
        EXPECT_EQ(database::HandleDbPersonAddProps(*session_, personId_, card.values), database::DbOpDone);
        return card;
    }

    QString StoredSurname() {
        database::PersonList list;
        EXPECT_EQ(database::HandleGetDbPersonsList(*session_, {1, 1, 1}, personId_, list), database::DbOpDone);
        return list.selected != nullptr ? list.selected->fields.surname : QString();
    }

    LogCapture log_;
    JournalRecorder journal_;
    ScriptedDialogs dialogs_;
    database::DbConnection browser_;
    database::DbConnection other_;  // another station
    std::unique_ptr<database::DbSession> session_;
    int personId_ = 0;
};

TEST_P(CardLeaveTest, YesSavesTheFieldsAndValuesBeforeLeaving) {
    browser::CardEditor editor;
    editor.Show(ReadCard());
    ASSERT_EQ(editor.PropertyCount(), 1u);
    editor.SetText(CardField::Surname, QStringLiteral(" Петров "));
    editor.EditProperty(0, QStringLiteral("180"));
    dialogs_.answers = {Answer::Yes};
    EXPECT_EQ(editor.ConfirmLeave(*session_), LeaveOutcome::Proceed);
    EXPECT_EQ(dialogs_.questions, QStringList{browser::kSaveChangesQuestion});
    EXPECT_FALSE(editor.IsDirty());
    EXPECT_FALSE(editor.Differs(CardField::Surname));
    EXPECT_FALSE(editor.Property(0).changed);

    EXPECT_EQ(StoredSurname(), QStringLiteral("Петров"));
    EXPECT_EQ(QueryInt(other_, QStringLiteral("SELECT COUNT(*) AS N FROM PERSONPROP WHERE PERSON_ID=? AND PROPVALUE=?"),
                       {personId_, QStringLiteral("180")}),
              1);
    // Read again, the card shows what was saved, with nothing to ask.
    editor.Show(ReadCard());
    EXPECT_EQ(editor.Property(0).storedValue, QStringLiteral("180"));
    EXPECT_EQ(editor.ConfirmLeave(*session_), LeaveOutcome::Proceed);
    EXPECT_EQ(dialogs_.questions.size(), 1);
}

TEST_P(CardLeaveTest, AGivenUpSaveClosesTheBrowserAndKeepsTheEdits) {
    browser::CardEditor editor;
    editor.Show(ReadCard());
    editor.SetText(CardField::Forename, QStringLiteral("Пётр"));
    // Another station deletes the person: the update changes no row and the operator gives up.
    Exec(other_, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID=?"), {personId_});
    dialogs_.answers = {Answer::Yes};
    dialogs_.retry = false;
    EXPECT_EQ(editor.ConfirmLeave(*session_), LeaveOutcome::CloseBrowser);
    EXPECT_TRUE(editor.IsDirty());
    EXPECT_EQ(editor.Text(CardField::Forename), QStringLiteral("Пётр"));
    EXPECT_TRUE(editor.Differs(CardField::Forename));
}

INSTANTIATE_TEST_SUITE_P(Providers, CardLeaveTest,
                         ::testing::Values(database::DbProvider::SQLite, database::DbProvider::PostgreSQL),
                         ProviderTestName);

}  // namespace
}  // namespace dbtest
