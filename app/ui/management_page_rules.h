#pragma once
// Purpose: the rules of the management settings page, its station entry and its password entry:
//          which controls are enabled, how the port fields convert, how the station list changes.
// Threads: the user-interface thread.
// Owns: nothing; edits the sheet's copy of the settings it is given.

#include "settings/settings_state.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace ui {

inline constexpr uint32_t kDefaultManagementPort = 21077;
inline constexpr uint32_t kHighestManagementPort = 32767;
inline constexpr int kPortFieldDigits = 5;
inline constexpr int kManagementPasswordChars = 15;
inline constexpr int kStationEntryChars = 255;
inline const QString kPasswordMismatchText = QStringLiteral("Пароли не совпадают! Попробуйте еще раз.");

// The value a port field stores: empty or non-numeric text gives 0 (the apply step turns it into
// the default), a number above the highest port gives the default.
uint32_t PortFromFieldText(const QString& text);

// Which controls of the page accept input.
struct ManagementEnabling {
    bool tcpPort = false;
    bool password = false;
    bool acceptChoice = false;
    bool stationList = false;
    bool addStation = false;
    bool changeStation = false;  // "Изменить..." and "Удалить": need a selected entry too
    bool udpLocation = false;
    bool udpPort = false;
};

enum class AcceptStations { Any, OnlyListed };

class ManagementPageRules {
public:
    explicit ManagementPageRules(settings::SettingsState& copy);

    ManagementEnabling Enabling(int selectedStation) const;

    void SetAllowManagement(bool allow);
    void SetTcpPortText(const QString& text);
    void SetAcceptStations(AcceptStations accept);
    void SetAllowUdpLocation(bool allow);
    void SetUdpPortText(const QString& text);
    // Cut to the field's 15 characters, as the dialog's fields are.
    void SetPassword(const QString& password);

    const QStringList& Stations() const;
    // Each returns the entry to select afterwards, -1 for none. An entry equal to an existing one
    // (without regard to case) only selects that one; blank entries change nothing.
    int AddStation(const QString& entry);
    int ChangeStation(int index, const QString& entry);
    int RemoveStation(int index);

private:
    settings::SettingsState& copy_;
};

// The station dialog's OK is enabled only for an entry that is not blank; the trimmed text is taken.
QString StationEntryText(const QString& typed);
bool StationEntryAcceptable(const QString& typed);

enum class PasswordEntry { Accepted, Mismatch };
PasswordEntry CheckPasswordEntry(const QString& first, const QString& second);

}  // namespace ui
