#pragma once
// Purpose: the eight pages of "Настройки программы" in their fixed order (the sheet remembers the
//          last page by its index), with what each page needs from the program.
// Threads: the user-interface thread only.
// Owns: nothing; the sheet owns the pages it is given.

#include "app/ui/actions_page.h"
#include "app/ui/camera_wizard.h"
#include "app/ui/formats_page.h"
#include "app/ui/mail_page.h"
#include "app/ui/settings_sheet.h"

namespace ui {

struct SettingsPageServices {
    CameraDialogServices cameras;
    MailPage::Services mail;
    ActionsPage::Services actions;
    FormatsPage::Services formats;
};

// The program's own: the devices of the machine, the stream test window, real mail, the sound
// output and voices the alerts use, file and folder choosers.
SettingsPageServices ProgramSettingsPageServices(actions::AlertOutputs& outputs, actions::SpeechVoices* voices);

// Adds every page, from "База данных" (0) to "Прочее" (7), each editing `copy`.
void AddSettingsPages(SettingsSheet& sheet, settings::SettingsState& copy, const SettingsPageServices& services);

}  // namespace ui
