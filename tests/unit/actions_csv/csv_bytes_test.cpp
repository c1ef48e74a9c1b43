// The log's bytes in each encoding, against hand-written images: byte-order mark, header, the
// field formats, the quoting of awkward names and the empty fields.

#include "app/actions/csv_format.h"
#include "app/actions/csv_log.h"
#include "csv_test_support.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

using actions::CsvDelimiter;
using actions::CsvEncoding;
using actions::CsvHeader;
using csvtest::OleDate;

// A camera name with a semicolon, a quote inside an alias, a comma inside the key, no second name.
actions::CsvRecord QuotedRecord() {
    actions::CsvRecord r;
    r.eventTime = OleDate(2026, 3, 5, 7, 8, 9, 250);
    platform::CopyToFixed(r.cameraName, u"Вход; главный");
    r.personId = 17;
    r.confidence = 71.44;
    r.person.listNumber = 1;
    platform::CopyToFixed(r.person.surname, u"Иванов");
    platform::CopyToFixed(r.person.forename, u"Пётр");
    platform::CopyToFixed(r.person.alias, u"a\"b");
    platform::CopyToFixed(r.person.externalKey, u"K-1,2");
    r.person.gender = 1;
    r.person.dateOfBirth = OleDate(1980, 12, 31);
    return r;
}

// A line break and a tab inside names, characters Windows-1251 lacks, no date of birth.
actions::CsvRecord OddRecord() {
    actions::CsvRecord r;
    r.eventTime = OleDate(2026, 11, 20, 23, 59, 58);
    platform::CopyToFixed(r.cameraName, u"Cam");
    r.personId = 5;
    r.confidence = 99.96;
    r.person.listNumber = 2;
    platform::CopyToFixed(r.person.surname, u"O'Neil\nJr");
    platform::CopyToFixed(r.person.forename, u"Tab\there");
    platform::CopyToFixed(r.person.secondName, u"Smith");
    platform::CopyToFixed(r.person.alias, u"Zoë😀");
    platform::CopyToFixed(r.person.externalKey, u"№7");
    r.person.gender = 0;
    return r;
}

// Nothing but numbers: empty texts, the green list, a damaged date of birth.
actions::CsvRecord BareRecord() {
    actions::CsvRecord r;
    r.eventTime = OleDate(2026, 3, 5, 7, 8, 9);
    r.person.listNumber = 0;
    r.person.gender = 1;
    r.person.dateOfBirth = 1e300;
    return r;
}

QByteArray WriteThree(const actions::CsvLogFormat& format) {
    EXPECT_TRUE(actions::WriteRecognitionLogLine(format, QuotedRecord()));
    EXPECT_TRUE(actions::WriteRecognitionLogLine(format, OddRecord()));
    EXPECT_TRUE(actions::WriteRecognitionLogLine(format, BareRecord()));
    return csvtest::ReadFile(actions::RecognitionLogFile(format, 0));
}

QByteArray Utf16Le(std::u16string_view text) {
    QByteArray bytes;
    for (const char16_t c : text) {
        bytes.append(static_cast<char>(c & 0xFF));
        bytes.append(static_cast<char>(c >> 8));
    }
    return bytes;
}

class CsvBytes : public ::testing::Test {
protected:
    QTemporaryDir dir;
};

TEST_F(CsvBytes, AnsiIsWindows1251WithoutMarkAndUnmappedCharactersAsQuestionMarks) {
    const QByteArray expected =
        // Дата и время;Камера;ID персоны;Вероятность;Список;Фамилия;Имя;Отчество;Псевдоним;Ключ;Пол;Дата рождения
        "\xC4\xE0\xF2\xE0 \xE8 \xE2\xF0\xE5\xEC\xFF;\xCA\xE0\xEC\xE5\xF0\xE0;ID \xEF\xE5\xF0\xF1\xEE\xED\xFB;"
        "\xC2\xE5\xF0\xEE\xFF\xF2\xED\xEE\xF1\xF2\xFC;\xD1\xEF\xE8\xF1\xEE\xEA;\xD4\xE0\xEC\xE8\xEB\xE8\xFF;"
        "\xC8\xEC\xFF;\xCE\xF2\xF7\xE5\xF1\xF2\xE2\xEE;\xCF\xF1\xE5\xE2\xE4\xEE\xED\xE8\xEC;\xCA\xEB\xFE\xF7;"
        "\xCF\xEE\xEB;\xC4\xE0\xF2\xE0 \xF0\xEE\xE6\xE4\xE5\xED\xE8\xFF\n"
        // 05.03.2026 07:08:09;"Вход; главный";17;"71,4%";Красный;Иванов;Пётр;;"a""b";"K-1,2";М;31.12.1980
        "05.03.2026 07:08:09;\"\xC2\xF5\xEE\xE4; \xE3\xEB\xE0\xE2\xED\xFB\xE9\";17;\"71,4%\";"
        "\xCA\xF0\xE0\xF1\xED\xFB\xE9;\xC8\xE2\xE0\xED\xEE\xE2;\xCF\xB8\xF2\xF0;;\"a\"\"b\";\"K-1,2\";\xCC;31.12.1980\n"
        // 20.11.2026 23:59:58;Cam;5;"100,0%";Серый;"O'Neil<LF>Jr";Tab<TAB>here;Smith;Zo??;№7;Ж;
        "20.11.2026 23:59:58;Cam;5;\"100,0%\";\xD1\xE5\xF0\xFB\xE9;\"O'Neil\nJr\";Tab\there;Smith;Zo??;\xB9"
        "7;\xC6;\n"
        // 05.03.2026 07:08:09;;0;"0,0%";Зеленый;;;;;;М;
        "05.03.2026 07:08:09;;0;\"0,0%\";\xC7\xE5\xEB\xE5\xED\xFB\xE9;;;;;;\xCC;\n";
    EXPECT_EQ(WriteThree(csvtest::Format(dir.path(), CsvEncoding::Ansi, CsvDelimiter::Semicolon, CsvHeader::On)),
              expected);
}

TEST_F(CsvBytes, UnicodeIsLittleEndianAfterItsMark) {
    const QByteArray bytes =
        WriteThree(csvtest::Format(dir.path(), CsvEncoding::Unicode, CsvDelimiter::Tab, CsvHeader::On));
    // FF FE, then "Да" as 14 04 30 04.
    EXPECT_EQ(bytes.left(6), QByteArray("\xFF\xFE\x14\x04\x30\x04", 6));
    const QByteArray expected =
        QByteArray("\xFF\xFE", 2) +
        Utf16Le(
            u"Дата и время\tКамера\tID персоны\tВероятность\tСписок\tФамилия\tИмя\tОтчество\tПсевдоним\tКлюч\t"
            u"Пол\tДата рождения\n"
            u"05.03.2026 07:08:09\t\"Вход; главный\"\t17\t\"71,4%\"\tКрасный\tИванов\tПётр\t\t\"a\"\"b\"\t"
            u"\"K-1,2\"\tМ\t31.12.1980\n"
            // With tabs delimiting, the tab inside the forename is quoted too.
            u"20.11.2026 23:59:58\tCam\t5\t\"100,0%\"\tСерый\t\"O'Neil\nJr\"\t\"Tab\there\"\tSmith\tZoë😀\t№7\tЖ\t\n"
            u"05.03.2026 07:08:09\t\t0\t\"0,0%\"\tЗеленый\t\t\t\t\t\tМ\t\n");
    EXPECT_EQ(bytes, expected);
}

TEST_F(CsvBytes, Utf8StartsWithItsMarkAndNoHeaderWhenOff) {
    const QByteArray expected =
        "\xEF\xBB\xBF"
        "05.03.2026 07:08:09,\"Вход; главный\",17,\"71,4%\",Красный,Иванов,Пётр,,\"a\"\"b\",\"K-1,2\",М,31.12.1980\n"
        "20.11.2026 23:59:58,Cam,5,\"100,0%\",Серый,\"O'Neil\nJr\",Tab\there,Smith,Zoë😀,№7,Ж,\n"
        "05.03.2026 07:08:09,,0,\"0,0%\",Зеленый,,,,,,М,\n";
    EXPECT_EQ(WriteThree(csvtest::Format(dir.path(), CsvEncoding::Utf8, CsvDelimiter::Comma, CsvHeader::Off)),
              expected);
}

TEST(CsvFormatFrom, OutOfRangeValuesGetTheLoadersLimits) {
    settings::CsvFormat group{};
    group.RotatesNumber = -3;  // a huge unsigned count
    group.SizeLimitMB = 0;
    group.Encode = 5;
    group.Delimiter = 3;
    group.UseHeader = 7;
    platform::CopyToFixed(group.Folder, u"/data/log/");
    const actions::CsvLogFormat format = actions::CsvLogFormatFrom(group);
    EXPECT_EQ(format.rotatesNumber, 9);
    EXPECT_EQ(format.sizeLimitMB, 1);
    EXPECT_EQ(format.encoding, CsvEncoding::Ansi);
    EXPECT_EQ(format.delimiter, CsvDelimiter::Tab);
    EXPECT_EQ(format.header, CsvHeader::On);
    EXPECT_EQ(actions::RecognitionLogFile(format, 3), QStringLiteral("/data/log/Recgnzd3.txt"));
}

}  // namespace
