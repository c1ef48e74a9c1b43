#include "person_by_person.h"

#include "app/database/db_schema.h"
#include "app/database/db_text.h"
#include "platform/fixedtext.h"

#include <gtest/gtest.h>

namespace dbtest {

using database::DbCommand;
using database::DbConnection;
using database::DbRecordset;
using recognition::FaceDescriptor;
using recognition::PersonModel;

namespace {

void Fit(char16_t* field, size_t capacity, const QString& text) {
    platform::CopyToFixed(field, capacity, database::FitText(text, capacity));
}

template <size_t N>
void Fit(char16_t (&field)[N], const QString& text) {
    Fit(field, N, text);
}

QString Column(const DbRecordset& rows, const char* name) {
    return database::ReadText(rows.Field(QLatin1String(name)));
}

int Integer(const DbRecordset& rows, const char* name) {
    return database::ReadInteger(rows.Field(QLatin1String(name)));
}

}  // namespace

std::unique_ptr<PersonModel> CopyModel(const PersonModel& model) {
    auto copy = std::make_unique<PersonModel>();
    copy->personId = model.personId;
    copy->listNumber = model.listNumber;
    std::copy(std::begin(model.surname), std::end(model.surname), copy->surname);
    std::copy(std::begin(model.forename), std::end(model.forename), copy->forename);
    std::copy(std::begin(model.secondName), std::end(model.secondName), copy->secondName);
    std::copy(std::begin(model.alias), std::end(model.alias), copy->alias);
    std::copy(std::begin(model.externalKey), std::end(model.externalKey), copy->externalKey);
    copy->gender = model.gender;
    copy->dateOfBirth = model.dateOfBirth;
    std::copy(std::begin(model.speech), std::end(model.speech), copy->speech);
    copy->state = model.state;
    for (const auto& descriptor : model.descriptors) {
        copy->descriptors.Append(std::make_unique<FaceDescriptor>(*descriptor));
    }
    return copy;
}

std::vector<PersonRow> ReadPersonRows(DbConnection& connection) {
    DbCommand command(connection);
    command.SetCommandText(database::StatementText(database::DbStatement::PersonsSyncQuery, connection.Provider()));
    command.Execute(database::kExecSync);
    DbRecordset& rows = command.Recordset();
    std::vector<PersonRow> persons;
    for (; !rows.Eof(); rows.MoveNext()) {
        PersonRow row{std::make_unique<PersonModel>(), Integer(rows, "SAMPLESCOUNT")};
        PersonModel& model = *row.model;
        model.personId = static_cast<uint32_t>(Integer(rows, "PERSON_ID"));
        model.listNumber = Integer(rows, "LIST_NUM");
        model.state = Integer(rows, "STATE");
        Fit(model.surname, rows.Field(QStringLiteral("SURNAME")).toString());
        Fit(model.forename, Column(rows, "FORENAME"));
        Fit(model.secondName, Column(rows, "SECONDNAME"));
        Fit(model.alias, Column(rows, "ALIAS"));
        Fit(model.externalKey, Column(rows, "EXT_KEY"));
        model.gender = Integer(rows, "Gender");
        model.dateOfBirth = database::ReadDate(rows.Field(QStringLiteral("DateOfBirth")));
        Fit(model.speech, Column(rows, "SPEECH"));
        persons.push_back(std::move(row));
    }
    return persons;
}

recognition::PersonModelSortedList LoadPersonByPerson(DbConnection& connection, std::vector<PersonRow> persons) {
    recognition::PersonModelSortedList models;
    for (PersonRow& person : persons) {
        if (person.sampleCount == 0) continue;
        DbCommand command(connection);
        command.SetCommandText(QStringLiteral("SELECT DESCRIPTOR FROM SAMPLES WHERE PERSON_ID=? ORDER BY SAMPLE_ID"));
        command.AppendInteger(QStringLiteral("PERSON_ID"), static_cast<int32_t>(person.model->personId));
        command.Execute(database::kExecSync);
        DbRecordset& rows = command.Recordset();
        bool valid = true;
        for (; valid && !rows.Eof(); rows.MoveNext()) {
            QByteArray bytes;
            std::optional<FaceDescriptor> descriptor;
            if (database::ReadBinary(rows.Field(QStringLiteral("DESCRIPTOR")), &bytes)) {
                descriptor = FaceDescriptor::FromStorage(bytes);
            }
            valid = descriptor.has_value();
            if (valid) person.model->descriptors.Append(std::make_unique<FaceDescriptor>(*descriptor));
        }
        if (valid && !person.model->descriptors.Empty()) models.Append(std::move(person.model));
    }
    return models;
}

recognition::PersonModelSortedList PersonByPersonModels(DbConnection& connection) {
    return LoadPersonByPerson(connection, ReadPersonRows(connection));
}

void ExpectSameModels(const recognition::PersonModelSortedList& actual,
                      const recognition::PersonModelSortedList& expected) {
    std::vector<uint32_t> actualIds, expectedIds;
    for (const auto& model : actual) actualIds.push_back(model->personId);
    for (const auto& model : expected) expectedIds.push_back(model->personId);
    ASSERT_EQ(actualIds, expectedIds);
    for (uint32_t i = 0; i < actual.Count(); ++i) ExpectSameModel(*actual.At(i), *expected.At(i));
}

void ExpectSameModel(const PersonModel& a, const PersonModel& e) {
    SCOPED_TRACE(testing::Message() << "person " << e.personId);
    EXPECT_EQ(a.personId, e.personId);
    EXPECT_EQ(a.listNumber, e.listNumber);
    EXPECT_EQ(platform::FromFixed(a.surname), platform::FromFixed(e.surname));
    EXPECT_EQ(platform::FromFixed(a.forename), platform::FromFixed(e.forename));
    EXPECT_EQ(platform::FromFixed(a.secondName), platform::FromFixed(e.secondName));
    EXPECT_EQ(platform::FromFixed(a.alias), platform::FromFixed(e.alias));
    EXPECT_EQ(platform::FromFixed(a.externalKey), platform::FromFixed(e.externalKey));
    EXPECT_EQ(a.gender, e.gender);
    EXPECT_EQ(a.dateOfBirth, e.dateOfBirth);
    EXPECT_EQ(platform::FromFixed(a.speech), platform::FromFixed(e.speech));
    EXPECT_EQ(a.state, e.state);
    ASSERT_EQ(a.descriptors.Count(), e.descriptors.Count());
    for (uint32_t k = 0; k < a.descriptors.Count(); ++k) {
        EXPECT_EQ(*a.descriptors.At(k), *e.descriptors.At(k)) << "descriptor " << k;
    }
}

recognition::PersonModelSortedList CopyModels(const recognition::PersonModelSortedList& models) {
    recognition::PersonModelSortedList copy;
    for (const auto& model : models) copy.Append(CopyModel(*model));
    return copy;
}

}  // namespace dbtest
