#pragma once
// Purpose: the editor of the property names ("Дополнительные поля персон") without a display: an
//          editable copy of the names read, the add, edit, delete and move steps, the renumbering
//          on "OK", and the writing of the differences.
// Threads: the user-interface thread.
// Owns: the copy of the names.

#include "app/database/property_ops.h"

#include <optional>

namespace database {

class PropNameEditor {
public:
    // The "Название поля" edit takes at most this many characters.
    static constexpr int kNameInputLimit = 63;
    // The name as that edit keeps it: cut to its field, leading and trailing blanks removed; its
    // "OK" is enabled only when this is not empty.
    static QString NameAsTyped(const QString& typed);

    explicit PropNameEditor(const PropNames& read);

    const PropNames& Names() const { return names_; }
    // Appends a new name (property id 0); its index, which becomes the selection; none for an
    // empty name.
    std::optional<size_t> Add(const QString& typed);
    // False for an empty name or an index outside the list.
    bool Rename(size_t index, const QString& typed);
    void Remove(size_t index);
    // Swap with the neighbour; false at the ends.
    bool MoveUp(size_t index);
    bool MoveDown(size_t index);
    // "OK": the i-th name (from 1) gets sequence number i.
    void Renumber();

private:
    PropNames names_;
};

// Writes the differences between the names read and the edited copy: for each name read, an update
// when its sequence number or name changed (exactly), a delete when the copy lost it; then an insert
// for each new name in list order. Each is retried while asked; DbOpCancel stops at once.
DbOpResult ApplyPropNameEdits(DbSession& session, const PropNames& read, const PropNames& edited);

}  // namespace database
