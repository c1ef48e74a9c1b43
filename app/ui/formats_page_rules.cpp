#include "app/ui/formats_page_rules.h"

#include "app/actions/csv_format.h"
#include "app/actions/csv_log.h"
#include "platform/fixedtext.h"
#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>

namespace ui {

namespace {

constexpr int64_t kSizeLimitMin = 1, kSizeLimitMax = 20;
constexpr int64_t kRotatesMin = 1, kRotatesMax = 9;
constexpr int64_t kSecondsMax = 99999;
constexpr int kChoiceCount = 3;  // encodings, delimiters and image formats alike

QString WithoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
    return path;
}

}  // namespace

FormatsPageRules::FormatsPageRules(settings::CsvFormat& csv, settings::ScriptFormat& recognized,
                                   settings::ScriptFormat& unrecognized)
    : csv_(csv), recognized_(recognized), unrecognized_(unrecognized) {}

QString FormatsPageRules::LogFilePath() const {
    return QDir::toNativeSeparators(actions::RecognitionLogFile(actions::CsvLogFormatFrom(csv_), 0));
}

QString FormatsPageRules::BrowseStart() const { return actions::RecognitionLogFolder(actions::CsvLogFormatFrom(csv_)); }

void FormatsPageRules::SetDefaultFolder() { csv_.Folder[0] = u'\0'; }

FolderChoice FormatsPageRules::ChooseFolder(const QString& chosen) {
    const QString folder = WithoutTrailingSlash(QDir::fromNativeSeparators(chosen));
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isAbsolute() || !info.isDir() || folder.size() > MaxChars(csv_.Folder))
        return FolderChoice::Refused;
    if (folder.compare(WithoutTrailingSlash(platform::ProgramDataFolder()), Qt::CaseInsensitive) == 0) {
        SetDefaultFolder();
        return FolderChoice::Default;
    }
    platform::CopyToFixed(csv_.Folder, folder);
    return FolderChoice::Taken;
}

std::optional<QString> FormatsPageRules::SetSizeLimit(const QString& typed) {
    const NumberEntry entry = EnterLimitedNumber(typed, kSizeLimitMin, kSizeLimitMax);
    csv_.SizeLimitMB = int32_t(entry.value);
    return entry.shown;
}

std::optional<QString> FormatsPageRules::SetRotates(const QString& typed) {
    const NumberEntry entry = EnterLimitedNumber(typed, kRotatesMin, kRotatesMax);
    csv_.RotatesNumber = int32_t(entry.value);
    return entry.shown;
}

void FormatsPageRules::SetEncode(int index) {
    if (index >= 0 && index < kChoiceCount) csv_.Encode = index;
}

void FormatsPageRules::SetDelimiter(int index) {
    if (index >= 0 && index < kChoiceCount) csv_.Delimiter = index;
}

void FormatsPageRules::SetUseHeader(bool on) { csv_.UseHeader = on ? 1 : 0; }

const settings::ScriptFormat& FormatsPageRules::Script() const {
    return event_ == AlertEvent::Recognized ? recognized_ : unrecognized_;
}

settings::ScriptFormat& FormatsPageRules::Script() {
    return event_ == AlertEvent::Recognized ? recognized_ : unrecognized_;
}

void FormatsPageRules::SetTimeoutEnabled(bool on) {
    if (on == SecondsShown()) return;
    Script().Timeout = on ? 0 : -1;
}

std::optional<QString> FormatsPageRules::SetTimeoutSeconds(const QString& typed) {
    // The field is hidden while the time-out is off; a late edit must not switch it back on.
    if (!SecondsShown()) return std::nullopt;
    const NumberEntry entry = EnterLimitedNumber(typed, 0, kSecondsMax);
    Script().Timeout = int32_t(entry.value);
    return entry.shown;
}

QString FormatsPageRules::SecondsText() const { return SecondsShown() ? QString::number(Script().Timeout) : QString(); }

void FormatsPageRules::SetAllowUi(bool on) { Script().AllowUI = on ? 1 : 0; }

void FormatsPageRules::SetImageFormat(int index) {
    if (index >= 0 && index < kChoiceCount) Script().ImgFileFormat = index;
}

}  // namespace ui
