#include "app/database/prop_name_editor.h"

#include "app/database/db_text.h"
#include "app/database/person_record.h"

#include <algorithm>
#include <utility>

namespace database {

QString PropNameEditor::NameAsTyped(const QString& typed) { return FitText(typed, kNameUnits).trimmed(); }

PropNameEditor::PropNameEditor(const PropNames& read) {
    for (const auto& name : read) names_.push_back(std::make_unique<PropName>(*name));
}

std::optional<size_t> PropNameEditor::Add(const QString& typed) {
    const QString name = NameAsTyped(typed);
    if (name.isEmpty()) return std::nullopt;
    auto added = std::make_unique<PropName>();
    added->name = name;
    names_.push_back(std::move(added));
    return names_.size() - 1;
}

bool PropNameEditor::Rename(size_t index, const QString& typed) {
    const QString name = NameAsTyped(typed);
    if (name.isEmpty() || index >= names_.size()) return false;
    names_[index]->name = name;
    return true;
}

void PropNameEditor::Remove(size_t index) {
    if (index < names_.size()) names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(index));
}

bool PropNameEditor::MoveUp(size_t index) {
    if (index == 0 || index >= names_.size()) return false;
    std::swap(names_[index - 1], names_[index]);
    return true;
}

bool PropNameEditor::MoveDown(size_t index) { return index + 1 < names_.size() && MoveUp(index + 1); }

void PropNameEditor::Renumber() {
    int32_t seqNum = 0;
    for (const auto& name : names_) name->seqNum = ++seqNum;
}

DbOpResult ApplyPropNameEdits(DbSession& session, const PropNames& read, const PropNames& edited) {
    for (const auto& before : read) {
        const auto kept = std::find_if(edited.begin(), edited.end(),
                                       [&](const auto& name) { return name->propId == before->propId; });
        DbOpResult result = DbOpDone;
        if (kept == edited.end()) {
            result = RetryWhileAsked([&] { return HandleDeleteDbPersonAddProp(session, before->propId); });
        } else if ((*kept)->seqNum != before->seqNum || (*kept)->name != before->name) {
            result = RetryWhileAsked([&] { return HandleUpdateDbPersonAddProp(session, **kept); });
        }
        if (result != DbOpDone) return result;
    }
    for (const auto& name : edited) {
        if (name->propId != 0) continue;
        const DbOpResult result = RetryWhileAsked([&] { return HandleInsertDbPersonAddProp(session, *name); });
        if (result != DbOpDone) return result;
    }
    return DbOpDone;
}

}  // namespace database
