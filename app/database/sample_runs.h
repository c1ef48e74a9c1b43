#pragma once
// Purpose: the sample descriptors a synchronization pass loads, read a run of persons per query
//   in person and sample order, so that a first load costs a few queries instead of one per
//   person. A run starts at a person whose samples the pass loads and takes the following persons
//   of the persons query as long as the pass loads them too (or they have no samples), so the
//   query never reads samples the pass does not need; its rows are bounded by a row budget.
// Threads: the database check thread, during a pass (under ModelLoadLock).
// Owns: the running samples query and its rows.

#include "app/database/db_access.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace database {

// What the pass needs of a persons row to decide whether it loads the person's samples.
struct PersonRowKey {
    uint32_t personId = 0;
    int32_t state = 0;
    int32_t sampleCount = 0;  // SAMPLESCOUNT
};

// The key of the persons query's row at position row; throws DbError when it cannot be read.
PersonRowKey ReadPersonRowKey(const DbRecordset& persons, size_t row);

// The last person of the run that starts at the current row of persons (a person the pass
// loads): the following rows join while loads() says so, with ascending ids, and within the
// row budget; rows without samples are passed over; any other row, or one that cannot be read,
// ends the run.
uint32_t LastPersonOfRun(const DbRecordset& persons, const std::function<bool(const PersonRowKey&)>& loads,
                         size_t rowBudget);

class SampleRun {
public:
    // Rows one samples query reads at most, going by SAMPLESCOUNT: about 2 MB of descriptors,
    // which the server can still order in memory.
    static constexpr size_t kRowBudget = 4096;

    // wait: waits for the started query; false when the pass is abandoned meanwhile.
    explicit SampleRun(DbConnection& connection, std::function<bool(DbCommand&)> wait);
    ~SampleRun();
    SampleRun(const SampleRun&) = delete;
    SampleRun& operator=(const SampleRun&) = delete;

    // Whether the current query has read the samples of the person and has not passed them.
    bool Covers(uint32_t personId) const;
    // Starts the query over the persons first..last and waits for it; false when abandoned.
    // Throws DbError.
    bool Start(uint32_t first, uint32_t last);
    // The current query's rows, moved to the first sample of the person (or to the first row of
    // a later person, or the end, when it has none). Persons must be asked for in ascending order.
    DbRecordset& SamplesOf(uint32_t personId);
    // Whether the current row of the rows SamplesOf returned is one of the person's samples.
    static bool IsSampleOf(const DbRecordset& rows, uint32_t personId);

private:
    DbConnection& connection_;
    std::function<bool(DbCommand&)> wait_;
    std::unique_ptr<DbCommand> query_;
    uint32_t first_ = 0;
    uint32_t last_ = 0;
    // The person SamplesOf was last asked for: the rows before its end are gone.
    std::optional<uint32_t> asked_;
};

}  // namespace database
