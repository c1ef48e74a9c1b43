#include "app/browser/browser_prop_names.h"

namespace browser {

PropNameCommands PropNameCommandsFor(size_t count, std::optional<size_t> selected) {
    PropNameCommands commands;
    if (!selected || *selected >= count) return commands;
    commands.edit = true;
    commands.remove = true;
    commands.moveUp = *selected > 0;
    commands.moveDown = *selected + 1 < count;
    return commands;
}

}  // namespace browser
