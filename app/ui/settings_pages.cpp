#include "app/ui/settings_pages.h"

#include "app/ui/cameras_page.h"
#include "app/ui/database_page.h"
#include "app/ui/management_page.h"
#include "app/ui/other_page.h"
#include "app/ui/recognition_page.h"
#include "app/ui/stream_test_dialog.h"

namespace ui {

SettingsPageServices ProgramSettingsPageServices(actions::AlertOutputs& outputs, actions::SpeechVoices* voices) {
    SettingsPageServices services;
    services.cameras.testStream = StreamTestService();
    services.mail = MailPage::ProgramServices();
    services.actions = ActionsPage::ProgramServices(outputs, voices);
    services.formats = FormatsPage::ProgramServices();
    return services;
}

void AddSettingsPages(SettingsSheet& sheet, settings::SettingsState& copy, const SettingsPageServices& services) {
    sheet.AddPage(new DatabasePage(copy, &sheet), QStringLiteral("База данных"));
    sheet.AddPage(new CamerasPage(copy, services.cameras, &sheet), QStringLiteral("Камеры"));
    sheet.AddPage(new RecognitionPage(copy, &sheet), QStringLiteral("Распознавание"));
    sheet.AddPage(new MailPage(copy, services.mail, &sheet), QStringLiteral("Почта"));
    sheet.AddPage(new ActionsPage(copy, services.actions, &sheet), QStringLiteral("Действия"));
    sheet.AddPage(new FormatsPage(copy, services.formats, &sheet), QStringLiteral("Форматы и параметры"));
    sheet.AddPage(new ManagementPage(copy, &sheet), QStringLiteral("Управление"));
    sheet.AddPage(new OtherPage(copy, &sheet), QStringLiteral("Прочее"));
}

}  // namespace ui
