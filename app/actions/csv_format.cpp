#include "app/actions/csv_format.h"

#include "platform/fixedtext.h"

#include <algorithm>

namespace actions {

CsvLogFormat CsvLogFormatFrom(const settings::CsvFormat& group) {
    CsvLogFormat format;
    format.folder = platform::FromFixed(group.Folder);
    // Read as unsigned, like the registry value: a negative count is a huge one.
    format.rotatesNumber = int(std::clamp(uint32_t(group.RotatesNumber), 1u, 9u));
    format.sizeLimitMB = int(std::clamp(uint32_t(group.SizeLimitMB), 1u, 20u));
    const auto encode = static_cast<uint32_t>(group.Encode);
    format.encoding = encode > 2 ? CsvEncoding::Ansi : static_cast<CsvEncoding>(encode);
    const auto delimiter = static_cast<uint32_t>(group.Delimiter);
    format.delimiter = delimiter > 2 ? CsvDelimiter::Tab : static_cast<CsvDelimiter>(delimiter);
    format.header = group.UseHeader != 0 ? CsvHeader::On : CsvHeader::Off;
    return format;
}

}  // namespace actions
