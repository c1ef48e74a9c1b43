#include "app/actions/action_item.h"

#include "app/shell/journal.h"

#include <atomic>

namespace actions {

using namespace shell::literals;

namespace {

std::atomic<uint32_t> lastActionNumber{0};

}  // namespace

std::unique_ptr<ActionItem> NewActionItem(ActionType type, ActionPayload payload) {
    auto item = std::make_unique<ActionItem>();
    item->number = lastActionNumber.fetch_add(1, std::memory_order_relaxed) + 1;
    item->type = type;
    item->payload = std::move(payload);
    return item;
}

void FreeActionItem(std::unique_ptr<ActionItem> item) { item.reset(); }

bool IsScriptAction(ActionType type) {
    return type == ActionType::RecognizedScript || type == ActionType::UnrecognizedScript;
}

bool IsMailAction(ActionType type) {
    return type == ActionType::RecognizedMail || type == ActionType::UnrecognizedMail;
}

QString ActionEventText(ActionType type) {
    return type == ActionType::UnrecognizedScript || type == ActionType::UnrecognizedMail ? u"Персона не распознана"_jt
                                                                                          : u"Персона распознана"_jt;
}

}  // namespace actions
