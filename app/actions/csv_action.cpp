#include "app/actions/csv_action.h"

namespace actions {

using namespace shell::literals;

bool RunCsvAction(const shell::Journal& journal, RecognitionLog& log, uint32_t actionNumber, const CsvRecord& record) {
    const bool written = log.WriteLine(record);
    journal.PostAction(written ? shell::ActionIcon::CsvWritten : shell::ActionIcon::Error, u"Персона распознана"_jt,
                       static_cast<int32_t>(actionNumber), u"Запись в CSV файл"_jt,
                       written ? u"Успешно"_jt : u"Ошибка записи"_jt);
    return written;
}

}  // namespace actions
