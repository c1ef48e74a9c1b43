#include "app/ui/management_page_rules.h"

#include <algorithm>

namespace ui {

uint32_t PortFromFieldText(const QString& text) {
    const QString digits = text.trimmed().left(kPortFieldDigits);
    bool ok = false;
    const uint32_t port = digits.toUInt(&ok);
    if (!ok) return 0;
    return port > kHighestManagementPort ? kDefaultManagementPort : port;
}

ManagementPageRules::ManagementPageRules(settings::SettingsState& copy) : copy_(copy) {}

ManagementEnabling ManagementPageRules::Enabling(int selectedStation) const {
    const auto& m = copy_.management;
    ManagementEnabling e;
    if (m.AllowManagement == 0) return e;
    e.tcpPort = e.password = e.acceptChoice = e.udpLocation = true;
    const bool listed = m.AcceptConnectionFlag == 1;
    e.stationList = e.addStation = listed;
    e.changeStation = listed && selectedStation >= 0 && selectedStation < copy_.stations.size();
    e.udpPort = m.AllowUdpLocation != 0;
    return e;
}

void ManagementPageRules::SetAllowManagement(bool allow) { copy_.management.AllowManagement = allow ? 1 : 0; }

void ManagementPageRules::SetTcpPortText(const QString& text) { copy_.management.TcpPort = PortFromFieldText(text); }

void ManagementPageRules::SetAcceptStations(AcceptStations accept) {
    copy_.management.AcceptConnectionFlag = accept == AcceptStations::OnlyListed ? 1 : 0;
}

void ManagementPageRules::SetAllowUdpLocation(bool allow) { copy_.management.AllowUdpLocation = allow ? 1 : 0; }

void ManagementPageRules::SetUdpPortText(const QString& text) { copy_.management.UdpPort = PortFromFieldText(text); }

void ManagementPageRules::SetPassword(const QString& password) {
    auto& field = copy_.management.Password;
    std::fill(std::begin(field), std::end(field), u'\0');
    const QString cut = password.left(kManagementPasswordChars);
    std::copy_n(reinterpret_cast<const char16_t*>(cut.utf16()), cut.size(), field);
}

const QStringList& ManagementPageRules::Stations() const { return copy_.stations; }

namespace {

int FindStation(const QStringList& stations, const QString& entry, int skip) {
    for (int i = 0; i < stations.size(); ++i) {
        if (i != skip && stations[i].compare(entry, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

}  // namespace

int ManagementPageRules::AddStation(const QString& entry) {
    const QString text = StationEntryText(entry);
    if (text.isEmpty()) return -1;
    const int existing = FindStation(copy_.stations, text, -1);
    if (existing >= 0) return existing;
    copy_.stations.append(text);
    return int(copy_.stations.size()) - 1;
}

int ManagementPageRules::ChangeStation(int index, const QString& entry) {
    if (index < 0 || index >= copy_.stations.size()) return -1;
    const QString text = StationEntryText(entry);
    if (text.isEmpty()) return index;
    // Changing an entry into another one already listed leaves that one alone, without a twin.
    const int other = FindStation(copy_.stations, text, index);
    if (other < 0) {
        copy_.stations[index] = text;
        return index;
    }
    copy_.stations.removeAt(index);
    return other > index ? other - 1 : other;
}

int ManagementPageRules::RemoveStation(int index) {
    if (index < 0 || index >= copy_.stations.size()) return -1;
    copy_.stations.removeAt(index);
    return std::min(index, int(copy_.stations.size()) - 1);
}

QString StationEntryText(const QString& typed) { return typed.left(kStationEntryChars).trimmed(); }

bool StationEntryAcceptable(const QString& typed) { return !StationEntryText(typed).isEmpty(); }

PasswordEntry CheckPasswordEntry(const QString& first, const QString& second) {
    return first == second ? PasswordEntry::Accepted : PasswordEntry::Mismatch;
}

}  // namespace ui
