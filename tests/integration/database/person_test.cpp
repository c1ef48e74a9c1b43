// The person operations and the additional properties against real databases of both providers.

#include "db_test_support.h"
#include "scripted_dialogs.h"

#include "app/database/person_card.h"
#include "app/database/person_commands.h"
#include "app/database/person_details.h"
#include "app/database/photo_ops.h"
#include "app/database/prop_name_editor.h"
#include "app/database/property_ops.h"
#include "app/database/sample_ops.h"
#include "app/recognition/face_descriptor.h"
#include "platform/oledate.h"
#include "settings/settings_hub.h"

#include <gtest/gtest.h>

namespace dbtest {
namespace {

using namespace database;

PersonFields Names(const QString& surname, const QString& forename = {}, const QString& secondName = {}) {
    PersonFields fields;
    fields.surname = surname;
    fields.forename = forename;
    fields.secondName = secondName;
    return fields;
}

class PersonTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (IsSkipped()) return;
        browser_.Open(db_->ConnectionString());
        other_.Open(db_->ConnectionString());
        session_ = std::make_unique<DbSession>(
            DbSession{browser_, dialogs_, dialogs_, db_->ConnectionString(), journal_.Journal()});
    }

    int Count(const QString& sql, const std::vector<QVariant>& values = {}) { return QueryInt(other_, sql, values); }

    PersonList ReadAll() {
        PersonList list;
        EXPECT_EQ(HandleGetDbPersonsList(*session_, {1, 1, 1}, 0, list), DbOpDone);
        return list;
    }

    // The browser's record of the person (read as the browser reads it).
    PersonRecord Record(int32_t id) {
        PersonList list;
        EXPECT_EQ(HandleGetDbPersonsList(*session_, {1, 1, 1}, id, list), DbOpDone);
        EXPECT_NE(list.selected, nullptr);
        return list.selected != nullptr ? *list.selected : PersonRecord{};
    }

    int32_t NewPerson(const PersonFields& fields, WatchList list = WatchList::Green) {
        const auto id = HandleNewPersonCmd(*session_, list, fields);
        EXPECT_TRUE(id.has_value()) << dialogs_.errors.join(u'|').toStdString();
        return id.value_or(0);
    }

    // The browser filters in the program's settings.
    void SetFilters(const settings::DbWinSettings& filters) {
        hub_.Update([&filters](settings::SettingsState& next) { next.dbWin = filters; });
    }
    settings::DbWinSettings Filters() const { return hub_.Snapshot()->dbWin; }

    LogCapture log_;
    JournalRecorder journal_;
    ScriptedDialogs dialogs_;
    DbConnection browser_;
    DbConnection other_;  // another station
    std::unique_ptr<DbSession> session_;
    settings::SettingsHub hub_;
};

TEST_P(PersonTest, ListFilterSelectsListsAndThePerson) {
    EXPECT_TRUE(PersonsListStatement(ListFilterText({0, 1, 0})).endsWith(QStringLiteral("WHERE P.LIST_NUM IN (1)")));
    EXPECT_TRUE(PersonsListStatement(ListFilterText({1, 0, 1})).endsWith(QStringLiteral("WHERE P.LIST_NUM IN (0,2)")));
    EXPECT_EQ(ListFilterText({0, 0, 0}), QStringLiteral("0,1,2"));

    const int green = AddPerson(other_, QStringLiteral("Зеленов"), 0);
    const int red = AddPerson(other_, QStringLiteral("Краснов"), 1);
    const int gray = AddPerson(other_, QStringLiteral("Серов"), 2, 0);
    AddSample(other_, red, DescriptorBytes(1));
    AddSample(other_, red, DescriptorBytes(2));

    PersonList list;
    ASSERT_EQ(HandleGetDbPersonsList(*session_, {1, 0, 1}, gray, list), DbOpDone);
    std::vector<int32_t> ids;
    for (const auto& row : list.rows) ids.push_back(row->personId);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<int32_t>{green, gray}));
    ASSERT_NE(list.selected, nullptr);
    EXPECT_EQ(list.selected->personId, gray);
    EXPECT_EQ(list.selected->list, WatchList::Gray);
    EXPECT_EQ(list.selected->fields.gender, Gender::Female);

    ASSERT_EQ(HandleGetDbPersonsList(*session_, {0, 1, 0}, gray, list), DbOpDone);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0]->sampleCount, 2);
    EXPECT_EQ(list.selected, nullptr) << "the requested person is not in the filtered list";

    ASSERT_EQ(HandleGetDbChoosePersonList(*session_, red, list), DbOpDone);
    EXPECT_EQ(list.rows.size(), 3u);
    ASSERT_NE(list.selected, nullptr);
    EXPECT_EQ(list.selected->fields.surname, QStringLiteral("Краснов"));
}

TEST_P(PersonTest, NewPersonStoresEmptyTextsAndTheDateOnlyWhenSet) {
    const int32_t plain = NewPerson(Names(QStringLiteral("Иванов")));
    EXPECT_EQ(
        Count(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS WHERE PERSON_ID=? AND DateOfBirth IS NULL AND "
                             "FORENAME='' AND SECONDNAME='' AND ALIAS='' AND EXT_KEY='' AND STATE=0 AND Gender=1"),
              {plain}),
        1);
    EXPECT_EQ(journal_.Count(QStringLiteral("Создана новая персона"), QStringLiteral("Иванов  ")), 1);
    EXPECT_EQ(Record(plain).fields.dateOfBirth, kNoDateOfBirth);

    PersonFields dated = Names(QStringLiteral("Петрова"), QStringLiteral("Анна"), QStringLiteral("Ивановна"));
    dated.gender = Gender::Female;
    dated.alias = QStringLiteral("Аня");
    dated.dateOfBirth = OleDateOfDay(QDate(1980, 2, 29));
    const int32_t withDate = HandleChooseDbDestNewPersonCmd(*session_, WatchList::Red, dated).value_or(0);
    ASSERT_NE(withDate, 0);
    EXPECT_EQ(journal_.Count(QStringLiteral("Создана новая персона")), 1) << "the chooser writes no journal line";
    const PersonRecord read = Record(withDate);
    EXPECT_EQ(read.list, WatchList::Red);
    EXPECT_EQ(read.fields.dateOfBirth, dated.dateOfBirth);
    EXPECT_FALSE(CardFieldsDiffer(read.fields, dated));
    EXPECT_EQ(journal_.Entries().front().databaseState, shell::DatabaseState::Unchanged);
}

TEST_P(PersonTest, CardUpdateStoresNullsAndDateZeroAndSkipsCaseOnlyChanges) {
    PersonFields fields = Names(QStringLiteral("Сидоров"), QStringLiteral("Пётр"), QStringLiteral("Ильич"));
    fields.dateOfBirth = OleDateOfDay(QDate(1970, 5, 1));
    fields.address = QStringLiteral("Москва");
    const int32_t id = NewPerson(fields);
    PersonFields lastRead = Record(id).fields;

    // A case-only correction is not written.
    PersonFields card = lastRead;
    card.surname = QStringLiteral("СИДОРОВ");
    ASSERT_EQ(SavePersonCardFields(*session_, id, card, lastRead), DbOpDone);
    EXPECT_EQ(Record(id).fields.surname, QStringLiteral("Сидоров"));

    card.forename.clear();
    card.address.clear();
    card.dateOfBirth = kNoDateOfBirth;
    card.gender = Gender::Female;
    ASSERT_EQ(SavePersonCardFields(*session_, id, card, lastRead), DbOpDone);
    EXPECT_EQ(lastRead.surname, QStringLiteral("СИДОРОВ")) << "the compared copy takes the saved values";
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS WHERE PERSON_ID=? AND FORENAME IS NULL AND "
                                   "ADDRESS IS NULL AND SECONDNAME=? AND DateOfBirth IS NOT NULL AND Gender=0"),
                    {id, QStringLiteral("Ильич")}),
              1);
    const PersonRecord read = Record(id);
    EXPECT_EQ(read.fields.dateOfBirth, kNoDateOfBirth) << "the date 0 reads back as no date";
    EXPECT_TRUE(read.fields.forename.isEmpty());
    EXPECT_EQ(read.fields.surname, QStringLiteral("СИДОРОВ"));
}

TEST_P(PersonTest, ChangeListJournalsTheJournalNamesAndShowsTheNewList) {
    const int32_t id = NewPerson(Names(QStringLiteral("Белов"), QStringLiteral("Иван")));
    const PersonRecord person = Record(id);
    EXPECT_EQ(ChangePersonList(*session_, hub_, person, WatchList::Green), CommandOutcome::NotRun);

    SetFilters({1, 0, 1});
    log_.Mark();
    EXPECT_EQ(ChangePersonList(*session_, hub_, person, WatchList::Red), CommandOutcome::Done);
    EXPECT_EQ(Filters().BlackList, 1) << "the red filter is switched on";
    EXPECT_TRUE(log_.SinceMark().contains(QStringLiteral("SaveDbWinSettings()"))) << "and saved";
    EXPECT_EQ(
        journal_.Count(QStringLiteral("Изменен список для персоны"), QStringLiteral("Белов Иван : Белый -> Черный")),
        1);
    EXPECT_EQ(Record(id).list, WatchList::Red);

    // A filter that is on already is neither switched nor saved.
    log_.Mark();
    EXPECT_FALSE(ShowListInBrowser(hub_, WatchList::Gray));
    EXPECT_FALSE(log_.SinceMark().contains(QStringLiteral("SaveDbWinSettings()")));
}

TEST_P(PersonTest, NewPersonInAHiddenListSwitchesItsFilterOn) {
    SetFilters({1, 1, 0});
    NewPersonInput input;
    input.list = WatchList::Gray;
    input.fields = Names(QStringLiteral("Серый"));
    const auto id = CreatePersonFromBrowser(*session_, hub_, input);
    ASSERT_TRUE(id.has_value());
    PersonList list;
    ASSERT_EQ(HandleGetDbPersonsList(*session_, Filters(), *id, list), DbOpDone);
    ASSERT_NE(list.selected, nullptr) << "the new person is visible and selected";
    EXPECT_EQ(list.selected->list, WatchList::Gray);
}

TEST_P(PersonTest, DeleteAsksAndCascadesToPhotosSamplesAndProperties) {
    const int32_t id = NewPerson(Names(QStringLiteral("Удалов"), QStringLiteral("Олег"), QStringLiteral("Петрович")));
    const int32_t kept = NewPerson(Names(QStringLiteral("Оставлен")));
    AddSample(other_, id, DescriptorBytes(3));
    AddSample(other_, kept, DescriptorBytes(4));
    Exec(other_, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (?, ?)"), {id, QByteArray("jpg")});
    Exec(other_, QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, ?)"), {QStringLiteral("Рост")});
    Exec(other_,
         QStringLiteral("INSERT INTO PERSONPROP (PERSON_ID, PROP_ID, PROPVALUE) SELECT ?, PROP_ID, ? FROM PROPLIST"),
         {id, QStringLiteral("180")});
    const PersonRecord person = Record(id);

    dialogs_.answers = {Answer::No};
    EXPECT_EQ(DeletePersonAsked(*session_, person), CommandOutcome::NotRun);
    ASSERT_EQ(dialogs_.questions.size(), 1);
    EXPECT_EQ(dialogs_.questions[0],
              QStringLiteral("Вы хотите удалить персону:\nУдалов Олег Петрович\nиз базы данных?"));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS")), 2);

    EXPECT_EQ(DeletePersonAsked(*session_, person), CommandOutcome::Done);
    EXPECT_EQ(journal_.Count(QStringLiteral("Удалена персона"), QStringLiteral("Удалов Олег Петрович")), 1);
    for (const char* table : {"PERSONS", "PHOTO", "SAMPLES", "PERSONPROP"}) {
        EXPECT_EQ(
            Count(QStringLiteral("SELECT COUNT(*) AS N FROM %1 WHERE PERSON_ID=?").arg(QLatin1String(table)), {id}), 0)
            << table;
    }
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM SAMPLES WHERE PERSON_ID=?"), {kept}), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PROPLIST")), 1);
}

TEST_P(PersonTest, APersonDeletedByAnotherStationIsReportedNotSaved) {
    const int32_t id = NewPerson(Names(QStringLiteral("Пропавший")));
    const PersonRecord person = Record(id);
    PersonFields lastRead = person.fields;
    Exec(other_, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID=?"), {id});
    journal_.Clear();
    log_.Mark();

    EXPECT_EQ(ChangePersonList(*session_, hub_, person, WatchList::Gray), CommandOutcome::Failed);
    EXPECT_EQ(HandleDeletePersonCmd(*session_, person), false);
    ASSERT_EQ(dialogs_.errors.size(), 2);
    EXPECT_EQ(dialogs_.errors[0], QStringLiteral("Ошибка выполнения SQL команды: ") + kPersonMissingText);
    EXPECT_TRUE(journal_.Entries().empty()) << "nothing was changed, so nothing is journaled";
    EXPECT_TRUE(log_.SinceMark().contains(QStringLiteral("ChangeListForPerson() Exception: ") + kPersonMissingText));

    PersonFields card = lastRead;
    card.forename = QStringLiteral("Новое");
    dialogs_.retry = false;
    EXPECT_EQ(SavePersonCardFields(*session_, id, card, lastRead), DbOpCancel);
    EXPECT_TRUE(lastRead.forename.isEmpty()) << "a failed save keeps the compared copy";
    ASSERT_EQ(dialogs_.questions.size(), 1);
    EXPECT_EQ(dialogs_.questions[0], QStringLiteral("Ошибка выполнения SQL команды: ") + kPersonMissingText);
    EXPECT_EQ(dialogs_.waitDepth, 0);

    // The details of a recognized person that is gone are empty.
    const qsizetype errors = dialogs_.errors.size();
    const auto details = ReadPersonDetails(dialogs_, db_->ConnectionString(), id);
    ASSERT_TRUE(details.has_value());
    EXPECT_TRUE(details->address.isEmpty() && details->contacts.isEmpty() && details->description.isEmpty());
    EXPECT_EQ(dialogs_.errors.size(), errors);
}

TEST_P(PersonTest, NamesAtAndOverCapacityKeepWholeCharacters) {
    const QString full63(63, QChar(u'Ж'));
    const QString over64(64, QChar(u'Ж'));
    const QString pairAtEnd = QString(62, QChar(u'Ж')) + QStringLiteral("😀");  // the pair would straddle 63
    PersonFields fields = Names(over64, full63, pairAtEnd);
    fields.alias = QString(15, QChar(u'Ю')) + QStringLiteral("😀");
    fields.externalKey = QString(29, QChar(u'k')) + QStringLiteral("😀");  // exactly 31 units: kept
    const int32_t id = NewPerson(fields);
    const PersonRecord read = Record(id);
    EXPECT_EQ(read.fields.surname, full63);
    EXPECT_EQ(read.fields.forename, full63);
    EXPECT_EQ(read.fields.secondName, QString(62, QChar(u'Ж')));
    EXPECT_EQ(read.fields.alias, QString(15, QChar(u'Ю')));
    EXPECT_EQ(read.fields.externalKey, fields.externalKey);

    // A longer value stored by another program is cut on reading, and the cut is logged.
    PersonFields card = read.fields;
    card.speech = QString(300, QChar(u'я'));
    PersonFields lastRead = read.fields;
    ASSERT_EQ(SavePersonCardFields(*session_, id, card, lastRead), DbOpDone);
    EXPECT_EQ(Record(id).fields.speech, QString(255, QChar(u'я')));
    if (GetParam() == DbProvider::SQLite) {
        Exec(other_, QStringLiteral("UPDATE PERSONS SET DESCRIPTION=? WHERE PERSON_ID=?"),
             {QString(400, QChar(u'ё')), id});
        log_.Mark();
        EXPECT_EQ(Record(id).fields.description.size(), 255);
        EXPECT_TRUE(
            log_.SinceMark().contains(QStringLiteral("HandleGetDbPersonsList(): Warning. Значение поля DESCRIPTION")));
    }
}

TEST_P(PersonTest, FindsAPersonByExactNames) {
    const int32_t full = NewPerson(Names(QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович")));
    const int32_t bare = NewPerson(Names(QStringLiteral("Иванов")));
    EXPECT_EQ(
        FindPersonByName(browser_, {QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович")}),
        full);
    EXPECT_EQ(FindPersonByName(browser_, {QStringLiteral("Иванов"), {}, {}}), bare);
    EXPECT_EQ(FindPersonByName(browser_, {QStringLiteral("иванов"), {}, {}}), std::nullopt);
    EXPECT_EQ(FindPersonByName(browser_, {QStringLiteral("Иванов"), QStringLiteral("Иван"), {}}), std::nullopt);
    // An emptied name is stored as NULL and still matches an empty one.
    Exec(other_, QStringLiteral("UPDATE PERSONS SET FORENAME=NULL, SECONDNAME=NULL WHERE PERSON_ID=?"), {full});
    EXPECT_EQ(FindPersonByName(browser_, {QStringLiteral("Иванов"), {}, {}}), std::min(full, bare));
}

TEST_P(PersonTest, PropertyNamesAndValuesFollowTheCardAndTheEditor) {
    const int32_t id = NewPerson(Names(QStringLiteral("Свойств")));
    const int32_t other = NewPerson(Names(QStringLiteral("Другой")));
    PropNames read;
    ASSERT_EQ(HandleGetDbPersonAddPropList(*session_, read), DbOpDone);
    PropNameEditor editor(read);
    EXPECT_FALSE(editor.Add(QStringLiteral("   ")).has_value());
    editor.Add(QStringLiteral("  Рост "));
    editor.Add(QStringLiteral("Вес"));
    editor.Add(QString(70, QChar(u'П')));
    editor.Renumber();
    ASSERT_EQ(ApplyPropNameEdits(*session_, read, editor.Names()), DbOpDone);
    ASSERT_EQ(HandleGetDbPersonAddPropList(*session_, read), DbOpDone);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0]->name, QStringLiteral("Рост"));
    EXPECT_EQ(read[2]->name, QString(63, QChar(u'П')));

    // No values yet: one row per name, each without a value row.
    PersonCard card;
    card.personId = id;
    ASSERT_EQ(HandleDbPersonAddProps(*session_, id, card.values), DbOpDone);
    ASSERT_EQ(card.values.size(), 3u);
    for (const auto& value : card.values) EXPECT_EQ(value->valueId, 0);
    card.values[0]->Edit(QStringLiteral("180"));
    card.values[1]->Edit(QString(300, QChar(u'в')));
    card.values[2]->Edit(QString());
    EXPECT_FALSE(card.values[2]->changed);
    ASSERT_EQ(SavePersonCard(*session_, card), DbOpDone);
    const int32_t firstId = card.values[0]->valueId;
    EXPECT_NE(firstId, 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONPROP WHERE PERSON_ID=?"), {id}), 2);

    // Moving "Вес" up reorders the card; clearing deletes the row, typing again inserts a new one.
    PropNameEditor reorder(read);
    EXPECT_FALSE(reorder.MoveUp(0));
    EXPECT_TRUE(reorder.MoveUp(1));
    reorder.Renumber();
    ASSERT_EQ(ApplyPropNameEdits(*session_, read, reorder.Names()), DbOpDone);
    ASSERT_EQ(HandleDbPersonAddProps(*session_, id, card.values), DbOpDone);
    EXPECT_EQ(card.values[0]->name, QStringLiteral("Вес"));
    EXPECT_EQ(card.values[0]->storedValue, QString(255, QChar(u'в')));
    ASSERT_EQ(card.values[1]->valueId, firstId);
    card.values[1]->Edit(QString());
    ASSERT_EQ(SavePersonCard(*session_, card), DbOpDone);
    EXPECT_EQ(card.values[1]->valueId, 0);
    card.values[1]->Edit(QStringLiteral("181"));
    ASSERT_EQ(SavePersonCard(*session_, card), DbOpDone);
    EXPECT_NE(card.values[1]->valueId, 0);
    EXPECT_NE(card.values[1]->valueId, firstId);

    // The details dialog lists the values in display order.
    Exec(other_, QStringLiteral("INSERT INTO PERSONPROP (PERSON_ID, PROP_ID, PROPVALUE) VALUES (?, ?, ?)"),
         {other, read[0]->propId, QStringLiteral("чужое")});
    const auto details = ReadPersonDetails(dialogs_, db_->ConnectionString(), id);
    ASSERT_TRUE(details.has_value());
    ASSERT_EQ(details->properties.size(), 2u);
    EXPECT_EQ(details->properties[0].first, QStringLiteral("Вес"));
    EXPECT_EQ(details->properties[1].second, QStringLiteral("181"));

    // Deleting a name deletes every person's value of it, without a question.
    PropNameEditor removal(read);
    removal.Remove(0);
    removal.Renumber();
    ASSERT_EQ(ApplyPropNameEdits(*session_, read, removal.Names()), DbOpDone);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONPROP WHERE PROP_ID=?"), {read[0]->propId}), 0);
    EXPECT_TRUE(dialogs_.questions.isEmpty());
}

TEST_P(PersonTest, APropertyRowDeletedByAnotherStationIsReported) {
    const int32_t id = NewPerson(Names(QStringLiteral("Значение")));
    Exec(other_, QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, ?)"), {QStringLiteral("Рост")});
    PersonCard card;
    card.personId = id;
    ASSERT_EQ(HandleDbPersonAddProps(*session_, id, card.values), DbOpDone);
    card.values[0]->Edit(QStringLiteral("170"));
    ASSERT_EQ(SavePersonCard(*session_, card), DbOpDone);
    Exec(other_, QStringLiteral("DELETE FROM PERSONPROP"));
    card.values[0]->Edit(QStringLiteral("171"));
    dialogs_.retry = false;
    log_.Mark();
    EXPECT_EQ(SavePersonCard(*session_, card), DbOpCancel);
    EXPECT_TRUE(card.values[0]->changed) << "an unsaved value stays marked";
    EXPECT_TRUE(
        log_.SinceMark().contains(QStringLiteral("HandleDbPersonAddPropUpdateProp() Exception: ") + kRowMissingText));
}

// The inserts that read their new id back: a failure between the two statements leaves no row,
// so Retry inserts one row and Cancel none.
TEST_P(PersonTest, AFailedIdentityQueryLeavesNoRowForRetryToDuplicate) {
    const int32_t id = NewPerson(Names(QStringLiteral("Повтор")));
    Exec(other_, QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, ?)"), {QStringLiteral("Рост")});
    const int32_t propId = QueryInt(other_, QStringLiteral("SELECT PROP_ID AS N FROM PROPLIST"));
    struct Insert {
        const char* identityColumn;
        const char* table;
        std::function<DbOpResult()> run;
    };
    int32_t newId = 0;
    PropValue value;
    value.propId = propId;
    value.Edit(QStringLiteral("180"));
    const auto descriptor = recognition::FaceDescriptor::FromStorage(DescriptorBytes(3));
    ASSERT_TRUE(descriptor.has_value());
    const std::vector<Insert> inserts{
        {"PERSONPHOTOID", "PHOTO",
         [&] { return HandleInsertDbPersonPhoto(*session_, QByteArray("jpeg"), id, &newId); }},
        {"PERSONPROPID", "PERSONPROP", [&] { return HandleDbPersonAddPropInsertProp(*session_, id, value); }},
        {"PERSONSAMPLEID", "SAMPLES",
         [&] { return HandleInsertDbPersonSample(*session_, QByteArray("png"), *descriptor, id, &newId); }},
    };
    for (const Insert& insert : inserts) {
        SCOPED_TRACE(insert.table);
        const QString rows = QStringLiteral("SELECT COUNT(*) AS N FROM %1 WHERE PERSON_ID=?").arg(insert.table);
        int failures = 0;
        browser_.SetStatementProbe([&](const QString& statement) {
            if (failures > 0 && statement.contains(QLatin1String(insert.identityColumn))) {
                --failures;
                throw DbError(QStringLiteral("server closed the connection unexpectedly"));
            }
        });
        failures = 1;
        dialogs_.retry = false;
        EXPECT_EQ(insert.run(), DbOpCancel);
        EXPECT_EQ(Count(rows, {id}), 0) << "a half-done insert stayed";

        failures = 1;
        dialogs_.retry = true;
        EXPECT_EQ(RetryWhileAsked(insert.run), DbOpDone);
        EXPECT_EQ(failures, 0);
        EXPECT_EQ(Count(rows, {id}), 1) << "the retry inserted a second row";
        browser_.SetStatementProbe({});
    }
    EXPECT_EQ(dialogs_.questions.size(), 6);
    EXPECT_EQ(value.valueId, QueryInt(other_, QStringLiteral("SELECT ID AS N FROM PERSONPROP")));
    EXPECT_EQ(Count(QStringLiteral("SELECT STATE AS N FROM PERSONS WHERE PERSON_ID=?"), {id}), 1)
        << "only the inserted sample changed STATE";
}

INSTANTIATE_TEST_SUITE_P(Providers, PersonTest, ::testing::Values(DbProvider::SQLite, DbProvider::PostgreSQL),
                         ProviderTestName);

// A lost connection: the commands that are not retried leave nothing written; the card update is
// retried on a reopened connection.
TEST(PersonConnectionTest, LostConnectionLeavesNothingHalfWritten) {
    if (!PostgresUnavailableReason().isEmpty()) GTEST_SKIP() << PostgresUnavailableReason().toStdString();
    LogCapture log;
    JournalRecorder journal;
    ScriptedDialogs dialogs;
    TestDatabase db(DbProvider::PostgreSQL);
    DbConnection browser, other;
    browser.Open(db.ConnectionString());
    other.Open(db.ConnectionString());
    DbSession session{browser, dialogs, dialogs, db.ConnectionString(), journal.Journal()};
    const auto terminateBrowser = [&] {
        const int pid = QueryInt(browser, QStringLiteral("SELECT pg_backend_pid() AS N"));
        QueryInt(other, QStringLiteral("SELECT CASE WHEN pg_terminate_backend(?) THEN 1 ELSE 0 END AS N"), {pid});
    };
    const int32_t id = AddPerson(other, QStringLiteral("Связь"));

    terminateBrowser();
    EXPECT_FALSE(HandleNewPersonCmd(session, WatchList::Green, Names(QStringLiteral("Новый"))).has_value());
    EXPECT_EQ(QueryInt(other, QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS")), 1);
    EXPECT_EQ(journal.Count(QStringLiteral("Создана новая персона")), 0);
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].startsWith(QStringLiteral("Ошибка выполнения SQL команды: ")));

    ASSERT_TRUE(ReopenDbConnection(dialogs, browser, db.ConnectionString()));
    terminateBrowser();
    dialogs.retry = true;
    PersonFields lastRead = Names(QStringLiteral("Связь"));
    PersonFields card = Names(QStringLiteral("Связь"), QStringLiteral("Восстановлена"));
    EXPECT_EQ(SavePersonCardFields(session, id, card, lastRead), DbOpDone);
    EXPECT_EQ(dialogs.questions.size(), 1) << "one Retry, then the repeated update succeeds";
    EXPECT_EQ(QueryInt(other, QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS WHERE FORENAME=?"),
                       {QStringLiteral("Восстановлена")}),
              1);
    EXPECT_TRUE(log.Text().contains(QStringLiteral("HandleNewPersonCmd() Exception: ")));
}

}  // namespace
}  // namespace dbtest
