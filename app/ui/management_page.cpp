#include "app/ui/management_page.h"

#include "app/ui/management_password_dialog.h"
#include "app/ui/station_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace ui {

namespace {

QLineEdit* PortField(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(kPortFieldDigits);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,5}")), edit));
    return edit;
}

QPushButton* Button(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

ManagementPage::ManagementPage(settings::SettingsState& copy, QWidget* parent)
    : QWidget(parent), copy_(copy), rules_(copy) {
    setObjectName(QStringLiteral("ManagementPage"));
    askStation = [this](const QString& entry) { return StationDialog::Ask(entry, this); };
    askPassword = [this] { return ManagementPasswordDialog::Ask(this); };

    auto* layout = new QVBoxLayout(this);
    allow_ = new QCheckBox(QStringLiteral("Включить Management Server"), this);
    allow_->setObjectName(QStringLiteral("AllowManagement"));
    layout->addWidget(allow_);

    auto* tcpRow = new QHBoxLayout;
    tcpRow->addWidget(new QLabel(QStringLiteral("Номер TCP порта сервера:"), this));
    tcpPort_ = PortField(QStringLiteral("TcpPort"), this);
    tcpRow->addWidget(tcpPort_);
    password_ = Button(QStringLiteral("Пароль..."), QStringLiteral("Password"), this);
    tcpRow->addWidget(password_);
    tcpRow->addStretch();
    layout->addLayout(tcpRow);

    acceptAny_ = new QRadioButton(QStringLiteral("Принимать запросы от любых станций"), this);
    acceptAny_->setObjectName(QStringLiteral("AcceptAnyStation"));
    acceptListed_ = new QRadioButton(QStringLiteral("Принимать запросы только от этих станций"), this);
    acceptListed_->setObjectName(QStringLiteral("AcceptConnectionFlag"));
    layout->addWidget(acceptAny_);
    layout->addWidget(acceptListed_);

    auto* listRow = new QHBoxLayout;
    stations_ = new QListWidget(this);
    stations_->setObjectName(QStringLiteral("stations"));
    listRow->addWidget(stations_);
    auto* listButtons = new QVBoxLayout;
    add_ = Button(QStringLiteral("Добавить..."), QStringLiteral("addStation"), this);
    change_ = Button(QStringLiteral("Изменить..."), QStringLiteral("changeStation"), this);
    remove_ = Button(QStringLiteral("Удалить"), QStringLiteral("removeStation"), this);
    listButtons->addWidget(add_);
    listButtons->addWidget(change_);
    listButtons->addWidget(remove_);
    listButtons->addStretch();
    listRow->addLayout(listButtons);
    layout->addLayout(listRow);

    auto* udpRow = new QHBoxLayout;
    allowUdp_ = new QCheckBox(QStringLiteral("Разрешить UDP локацию по номеру порта:"), this);
    allowUdp_->setObjectName(QStringLiteral("AllowUdpLocation"));
    udpPort_ = PortField(QStringLiteral("UdpPort"), this);
    udpRow->addWidget(allowUdp_);
    udpRow->addWidget(udpPort_);
    udpRow->addStretch();
    layout->addLayout(udpRow);

    const auto& m = copy_.management;
    allow_->setChecked(m.AllowManagement != 0);
    ShowPort(tcpPort_, m.TcpPort);
    (m.AcceptConnectionFlag == 1 ? acceptListed_ : acceptAny_)->setChecked(true);
    allowUdp_->setChecked(m.AllowUdpLocation != 0);
    ShowPort(udpPort_, m.UdpPort);
    ShowStations(copy_.stations.isEmpty() ? -1 : 0);
    UpdateEnabling();

    QObject::connect(allow_, &QCheckBox::toggled, this, [this](bool on) {
        rules_.SetAllowManagement(on);
        UpdateEnabling();
    });
    QObject::connect(tcpPort_, &QLineEdit::textChanged, this,
                     [this](const QString& text) { rules_.SetTcpPortText(text); });
    QObject::connect(tcpPort_, &QLineEdit::editingFinished, this,
                     [this] { ShowPort(tcpPort_, copy_.management.TcpPort); });
    QObject::connect(acceptListed_, &QRadioButton::toggled, this, [this](bool on) {
        rules_.SetAcceptStations(on ? AcceptStations::OnlyListed : AcceptStations::Any);
        UpdateEnabling();
    });
    QObject::connect(allowUdp_, &QCheckBox::toggled, this, [this](bool on) {
        rules_.SetAllowUdpLocation(on);
        UpdateEnabling();
    });
    QObject::connect(udpPort_, &QLineEdit::textChanged, this,
                     [this](const QString& text) { rules_.SetUdpPortText(text); });
    QObject::connect(udpPort_, &QLineEdit::editingFinished, this,
                     [this] { ShowPort(udpPort_, copy_.management.UdpPort); });
    QObject::connect(password_, &QPushButton::clicked, this, [this] {
        if (const auto password = askPassword()) rules_.SetPassword(*password);
    });
    QObject::connect(stations_, &QListWidget::currentRowChanged, this, [this](int) { UpdateEnabling(); });
    QObject::connect(stations_, &QListWidget::itemDoubleClicked, this, [this] { ChangeStation(); });
    QObject::connect(add_, &QPushButton::clicked, this, [this] { AddStation(); });
    QObject::connect(change_, &QPushButton::clicked, this, [this] { ChangeStation(); });
    QObject::connect(remove_, &QPushButton::clicked, this, [this] { RemoveStation(); });
}

void ManagementPage::ShowPort(QLineEdit* field, uint32_t port) {
    // An emptied field stays empty; the stored 0 becomes the default when the sheet is applied.
    if (port == 0 && field->text().isEmpty()) return;
    const QString text = QString::number(port);
    if (field->text() != text) field->setText(text);
}

void ManagementPage::ShowStations(int selected) {
    stations_->clear();
    stations_->addItems(rules_.Stations());
    stations_->setCurrentRow(selected);
}

void ManagementPage::UpdateEnabling() {
    const ManagementEnabling e = rules_.Enabling(stations_->currentRow());
    tcpPort_->setEnabled(e.tcpPort);
    password_->setEnabled(e.password);
    acceptAny_->setEnabled(e.acceptChoice);
    acceptListed_->setEnabled(e.acceptChoice);
    stations_->setEnabled(e.stationList);
    add_->setEnabled(e.addStation);
    change_->setEnabled(e.changeStation);
    remove_->setEnabled(e.changeStation);
    allowUdp_->setEnabled(e.udpLocation);
    udpPort_->setEnabled(e.udpPort);
}

void ManagementPage::AddStation() {
    if (const auto entry = askStation(QString())) ShowStations(rules_.AddStation(*entry));
    UpdateEnabling();
}

void ManagementPage::ChangeStation() {
    const int row = stations_->currentRow();
    if (!rules_.Enabling(row).changeStation) return;
    if (const auto entry = askStation(rules_.Stations()[row])) ShowStations(rules_.ChangeStation(row, *entry));
    UpdateEnabling();
}

void ManagementPage::RemoveStation() {
    const int row = stations_->currentRow();
    if (!rules_.Enabling(row).changeStation) return;
    ShowStations(rules_.RemoveStation(row));
    UpdateEnabling();
}

}  // namespace ui
