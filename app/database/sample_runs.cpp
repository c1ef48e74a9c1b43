#include "app/database/sample_runs.h"

#include "app/database/db_schema.h"
#include "app/recognition/pointer_list.h"
#include "platform/contract.h"

#include <algorithm>

namespace database {

namespace {

uint32_t PersonOfSample(const DbRecordset& rows) {
    return static_cast<uint32_t>(ReadInteger(rows.Field(QStringLiteral("PERSON_ID"))));
}

}  // namespace

PersonRowKey ReadPersonRowKey(const DbRecordset& persons, size_t row) {
    PersonRowKey key;
    key.personId = static_cast<uint32_t>(ReadInteger(persons.FieldAt(row, QStringLiteral("PERSON_ID"))));
    key.state = ReadInteger(persons.FieldAt(row, QStringLiteral("STATE")));
    key.sampleCount = ReadInteger(persons.FieldAt(row, QStringLiteral("SAMPLESCOUNT")));
    return key;
}

uint32_t LastPersonOfRun(const DbRecordset& persons, const std::function<bool(const PersonRowKey&)>& loads,
                         size_t rowBudget) {
    const PersonRowKey first = ReadPersonRowKey(persons, persons.Position());
    uint32_t last = first.personId;
    size_t rows = static_cast<size_t>(std::max(first.sampleCount, 0));
    for (size_t row = persons.Position() + 1; row < persons.RowCount(); ++row) {
        PersonRowKey key;
        try {
            key = ReadPersonRowKey(persons, row);
        } catch (const DbError&) {
            break;  // the row loop meets it and ends the pass's reading there
        }
        // The samples query orders by id: a run is a range of ids.
        if (!recognition::PersonIdLess(last, key.personId)) break;
        if (key.sampleCount == 0) continue;
        if (!loads(key)) break;
        const size_t count = static_cast<size_t>(std::max(key.sampleCount, 0));
        if (rows + count > rowBudget) break;
        rows += count;
        last = key.personId;
    }
    return last;
}

SampleRun::SampleRun(DbConnection& connection, std::function<bool(DbCommand&)> wait)
    : connection_(connection), wait_(std::move(wait)) {}

SampleRun::~SampleRun() = default;

bool SampleRun::Covers(uint32_t personId) const {
    return query_ != nullptr && !recognition::PersonIdLess(personId, first_) &&
           !recognition::PersonIdLess(last_, personId) && (!asked_ || recognition::PersonIdLess(*asked_, personId));
}

bool SampleRun::Start(uint32_t first, uint32_t last) {
    query_.reset();
    auto query = std::make_unique<DbCommand>(connection_);
    query->SetCommandText(StatementText(DbStatement::SampleRunQuery, connection_.Provider()));
    query->AppendInteger(QStringLiteral("FIRST_ID"), static_cast<int32_t>(first));
    query->AppendInteger(QStringLiteral("LAST_ID"), static_cast<int32_t>(last));
    query->Execute(kExecSelectAsync);
    if (!wait_(*query)) return false;
    query_ = std::move(query);
    first_ = first;
    last_ = last;
    asked_.reset();
    return true;
}

DbRecordset& SampleRun::SamplesOf(uint32_t personId) {
    OSTROVID_ASSERT(Covers(personId), "a run gives each of its persons once, in ascending order");
    asked_ = personId;
    DbRecordset& rows = query_->Recordset();
    // Persons of the range the pass does not load (no samples when the persons were read).
    while (!rows.Eof() && recognition::PersonIdLess(PersonOfSample(rows), personId)) rows.MoveNext();
    return rows;
}

bool SampleRun::IsSampleOf(const DbRecordset& rows, uint32_t personId) {
    return !rows.Eof() && PersonOfSample(rows) == personId;
}

}  // namespace database
