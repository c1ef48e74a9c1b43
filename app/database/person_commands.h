#pragma once
// Purpose: the person commands of the database browser as the operator gives them: the list filter
//          that must show the person afterwards, the delete question, the list menu, and saving
//          the card's person fields. After every command that ran (done or failed) the browser
//          re-reads its list (HandleGetDbPersonsList), selecting the new person after an insert
//          and the same person otherwise.
// Threads: the user-interface thread.
// Owns: nothing.

#include "app/database/new_person_form.h"
#include "app/database/person_ops.h"
#include "settings/settings_hub.h"

namespace database {

enum class CommandOutcome {
    NotRun,  // declined or nothing to do: the list need not be re-read
    Done,
    Failed,  // the failure was shown; the database is unchanged
};

// Switches the browser filter of `list` on; true when it was off.
bool SwitchOnListFilter(settings::DbWinSettings& filters, WatchList list);
// The same on the program's settings (published through hub), saving DbWinSettings when the filter
// was off; true then, so that the browser sets the filter's check box.
bool ShowListInBrowser(settings::SettingsHub& hub, WatchList list);

// "Новая персона" confirmed in the browser: the filter of the chosen list is switched on, the person
// inserted and journaled. The new id, none after a failure.
std::optional<int32_t> CreatePersonFromBrowser(DbSession& session, settings::SettingsHub& hub,
                                               const NewPersonInput& input);
// Asks "Вы хотите удалить персону:\n%s %s %s\nиз базы данных?" and on Yes deletes the person.
CommandOutcome DeletePersonAsked(DbSession& session, const PersonRecord& person);
// "Изменить список": nothing when newList is the person's list; otherwise the filter of newList is
// switched on and the person moved.
CommandOutcome ChangePersonList(DbSession& session, settings::SettingsHub& hub, const PersonRecord& person,
                                WatchList newList);

// The person part of saving the card: when the card's fields differ from lastRead (texts without
// regard to case), they are written and on success become lastRead. DbOpDone when nothing needed
// writing; DbOpCancel stops the save.
DbOpResult SavePersonCardFields(DbSession& session, int32_t personId, const PersonFields& card, PersonFields& lastRead);

}  // namespace database
