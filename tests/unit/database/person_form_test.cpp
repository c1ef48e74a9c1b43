#include "app/database/new_person_form.h"
#include "app/database/person_record.h"
#include "platform/oledate.h"

#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace database {
namespace {

TEST(NewPersonFormTest, KeepsTrimmedNamesAndEnablesOkOnlyWithASurname) {
    NewPersonForm form(WatchList::Red);
    EXPECT_FALSE(form.CanAccept());
    form.SetSurname(QStringLiteral("   "));
    EXPECT_FALSE(form.CanAccept()) << "blanks alone are no surname";
    form.SetSurname(QStringLiteral("  Иванов "));
    form.SetForename(QStringLiteral(" Иван"));
    form.SetSecondName(QStringLiteral("Иванович\t"));
    form.SetAlias(QStringLiteral(" Ваня "));
    form.SetExternalKey(QStringLiteral(" key "));
    EXPECT_TRUE(form.CanAccept());
    const PersonFields& fields = form.Input().fields;
    EXPECT_EQ(fields.surname, QStringLiteral("Иванов"));
    EXPECT_EQ(fields.forename, QStringLiteral("Иван"));
    EXPECT_EQ(fields.secondName, QStringLiteral("Иванович"));
    EXPECT_EQ(fields.alias, QStringLiteral("Ваня"));
    EXPECT_EQ(fields.externalKey, QStringLiteral(" key ")) << "the external key keeps its blanks";
    EXPECT_EQ(form.Input().list, WatchList::Red);
    EXPECT_EQ(fields.gender, Gender::Male) << "a new person defaults to male";

    // What reaches a field never exceeds it, and a surrogate pair is never split.
    form.SetSurname(QString(64, QChar(u'Ш')));
    EXPECT_EQ(form.Input().fields.surname, QString(63, QChar(u'Ш')));
    form.SetAlias(QString(14, QChar(u'Ю')) + QStringLiteral("😀"));
    EXPECT_EQ(form.Input().fields.alias, QString(14, QChar(u'Ю')));
    form.SetExternalKey(QString(40, QLatin1Char('k')));
    EXPECT_EQ(form.Input().fields.externalKey.size(), 31);

    dbtest::ScriptedDialogs dialogs;
    form.SetSurname(QString());
    EXPECT_EQ(form.Accept(dialogs, QDate(2026, 6, 1)), NewPersonForm::AcceptResult::KeepOpen);
}

TEST(NewPersonFormTest, AsksAboutARecentDateOfBirth) {
    const QDate today(2026, 12, 9);
    dbtest::ScriptedDialogs dialogs;
    NewPersonForm form;
    form.SetSurname(QStringLiteral("Дата"));
    EXPECT_EQ(form.Accept(dialogs, today), NewPersonForm::AcceptResult::Accepted);
    EXPECT_EQ(form.Input().fields.dateOfBirth, kNoDateOfBirth);

    // Ten years back by the year number: no question.
    form.SetDateOfBirth(QDate(2016, 12, 31));
    EXPECT_EQ(form.Accept(dialogs, today), NewPersonForm::AcceptResult::Accepted);
    EXPECT_TRUE(dialogs.questions.isEmpty());
    const platform::LocalTime stored = platform::SplitOleDate(form.Input().fields.dateOfBirth);
    EXPECT_EQ(std::tie(stored.year, stored.month, stored.day, stored.hour, stored.minute),
              std::make_tuple(2016, 12, 31, 0, 0));

    // The current year asks; No keeps the dialog open, Yes takes the date.
    form.SetDateOfBirth(QDate(2026, 3, 5));
    dialogs.answers = {Answer::No, Answer::Yes};
    EXPECT_EQ(form.Accept(dialogs, today), NewPersonForm::AcceptResult::KeepOpen);
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.questions[0], QStringLiteral("Вы уверены, что дата рождения  05.03.2026  введена верно?"));
    EXPECT_EQ(form.Accept(dialogs, today), NewPersonForm::AcceptResult::Accepted);
    EXPECT_EQ(form.Input().fields.dateOfBirth, OleDateOfDay(QDate(2026, 3, 5)));
    EXPECT_EQ(NewPersonForm::DateQuestion(QDate(2017, 1, 1)),
              QStringLiteral("Вы уверены, что дата рождения  01.01.2017  введена верно?"));
}

TEST(PersonRecordTest, CardComparisonIgnoresCaseOfTextsOnly) {
    PersonFields read;
    read.surname = QStringLiteral("Ёлкин");
    read.speech = QStringLiteral("Внимание");
    PersonFields card = read;
    card.surname = QStringLiteral("ЁЛКИН");
    card.speech = QStringLiteral("внимание");
    EXPECT_FALSE(CardFieldsDiffer(card, read));
    card.speech = QStringLiteral("Внимание!");
    EXPECT_TRUE(CardFieldsDiffer(card, read));
    card = read;
    card.gender = Gender::Female;
    EXPECT_TRUE(CardFieldsDiffer(card, read));
    card = read;
    card.dateOfBirth = 1;
    EXPECT_TRUE(CardFieldsDiffer(card, read));

    EXPECT_EQ(WatchListFromNumber(3), std::nullopt);
    EXPECT_EQ(WatchListName(WatchList::Green), QStringLiteral("Зеленый"));
    EXPECT_EQ(WatchListJournalName(WatchList::Green), QStringLiteral("Белый"));
    EXPECT_EQ(WatchListJournalName(WatchList::Red), QStringLiteral("Черный"));
    EXPECT_EQ(WatchListJournalName(WatchList::Gray), QStringLiteral("Серый"));
}

}  // namespace
}  // namespace database
