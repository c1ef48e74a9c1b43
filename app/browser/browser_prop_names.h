#pragma once
// Purpose: which commands of the property-names editor apply to the selected name.
// Threads: any (a pure function).
// Owns: nothing.

#include <cstddef>
#include <optional>

namespace browser {

struct PropNameCommands {
    bool edit = false;      // "Изменить..." / "Редактировать..."
    bool remove = false;    // "Удалить"
    bool moveUp = false;    // "Поднять выше": not the first
    bool moveDown = false;  // "Опустить ниже": not the last
};

// Adding is always possible; the others need a selected name.
PropNameCommands PropNameCommandsFor(size_t count, std::optional<size_t> selected);

}  // namespace browser
