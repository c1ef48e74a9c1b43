#include "app/database/person_commands.h"

#include "settings/channel_saves.h"

namespace database {

bool SwitchOnListFilter(settings::DbWinSettings& filters, WatchList list) {
    int32_t& filter = list == WatchList::Green ? filters.WhiteList
                      : list == WatchList::Red ? filters.BlackList
                                               : filters.GrayList;
    if (filter != 0) return false;
    filter = 1;
    return true;
}

bool ShowListInBrowser(settings::SettingsHub& hub, WatchList list) {
    bool switched = false;
    settings::DbWinSettings filters;
    hub.Update([&](settings::SettingsState& next) {
        switched = SwitchOnListFilter(next.dbWin, list);
        filters = next.dbWin;
    });
    if (!switched) return false;
    // The save waits for the service; it runs after the publish, so no other change waits for it.
    settings::SaveDbWinSettings(filters);
    return true;
}

std::optional<int32_t> CreatePersonFromBrowser(DbSession& session, settings::SettingsHub& hub,
                                               const NewPersonInput& input) {
    ShowListInBrowser(hub, input.list);
    return HandleNewPersonCmd(session, input.list, input.fields);
}

CommandOutcome DeletePersonAsked(DbSession& session, const PersonRecord& person) {
    const QString question = QStringLiteral("Вы хотите удалить персону:\n") + person.fields.Name().Spaced() +
                             QStringLiteral("\nиз базы данных?");
    if (session.dialogs.AskYesNo(question, DefaultButton::Second) != Answer::Yes) return CommandOutcome::NotRun;
    return HandleDeletePersonCmd(session, person) ? CommandOutcome::Done : CommandOutcome::Failed;
}

CommandOutcome ChangePersonList(DbSession& session, settings::SettingsHub& hub, const PersonRecord& person,
                                WatchList newList) {
    if (newList == person.list) return CommandOutcome::NotRun;
    ShowListInBrowser(hub, newList);
    return ChangeListForPerson(session, person, newList) ? CommandOutcome::Done : CommandOutcome::Failed;
}

DbOpResult SavePersonCardFields(DbSession& session, int32_t personId, const PersonFields& card,
                                PersonFields& lastRead) {
    if (!CardFieldsDiffer(card, lastRead)) return DbOpDone;
    const DbOpResult result = RetryWhileAsked([&] { return HandleUpdateDbPersonMetrics(session, personId, card); });
    if (result == DbOpDone) lastRead = card;
    return result;
}

}  // namespace database
