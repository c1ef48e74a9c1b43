#pragma once
// Purpose: the "Управление" settings page: the management server, its password, the stations
//          allowed to connect and UDP location.
// Threads: the user-interface thread.
// Owns: its child widgets (Qt parent ownership) and the page's rules.

#include "app/ui/management_page_rules.h"

#include <QWidget>
#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace ui {

class ManagementPage final : public QWidget {
public:
    ManagementPage(settings::SettingsState& copy, QWidget* parent);

    // The dialogs the page opens; replaced by tests. Nothing means cancelled.
    std::function<std::optional<QString>(const QString& entry)> askStation;
    std::function<std::optional<QString>()> askPassword;

private:
    void ShowPort(QLineEdit* field, uint32_t port);
    void ShowStations(int selected);
    void UpdateEnabling();
    void AddStation();
    void ChangeStation();
    void RemoveStation();

    settings::SettingsState& copy_;
    ManagementPageRules rules_;
    QCheckBox* allow_ = nullptr;
    QLineEdit* tcpPort_ = nullptr;
    QPushButton* password_ = nullptr;
    QRadioButton* acceptAny_ = nullptr;
    QRadioButton* acceptListed_ = nullptr;
    QListWidget* stations_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* change_ = nullptr;
    QPushButton* remove_ = nullptr;
    QCheckBox* allowUdp_ = nullptr;
    QLineEdit* udpPort_ = nullptr;
};

}  // namespace ui
