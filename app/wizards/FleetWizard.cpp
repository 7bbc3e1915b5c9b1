#include "app/wizards/FleetWizard.h"

#include "app/widgets/ItemPainters.h"
#include "app/wizards/LiveDevices.h"
#include "app/wizards/WizardRows.h"
#include "fixtures/QelRDM.h"
#include "link/devices/Device.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

FleetWizard::FleetWizard(QWidget* parent, const QList<Device*>& devices, FleetWizardKind kind, const Offers& offers)
    : QWizard(parent), kind_(std::move(kind))
{
    setWindowTitle(kind_.title);
    setOptions(options() | QWizard::NoBackButtonOnStartPage);
    QList<Device*> offered;
    for (Device* device : devices) {
        if (device && offers(device))
            offered.append(device);
    }
    offered_ = new LiveDevices(offered, this);
    groups_ = new ModelGroups(offered_, this);
    if (!groups_->Models().isEmpty())
        selectedModel_ = groups_->Models().first();
    connect(offered_, &LiveDevices::Gone, this, [this](int place) { selectedPlaces_.removeAll(place); });
}

QStringList FleetWizard::Models() const
{
    return groups_->Models();
}

QList<int> FleetWizard::ModelPlaces(const QString& model) const
{
    return groups_->Places(model);
}

void FleetWizard::SetPages(FleetModelPage* models, FleetDevicesPage* devices)
{
    setPage(0, models);
    setPage(1, devices);
}

QList<Device*> FleetWizard::Live(const QList<int>& places) const
{
    QList<Device*> live;
    for (int place : places) {
        if (Device* device = offered_->At(place))
            live.append(device);
    }
    return live;
}

QList<Device*> FleetWizard::ModelDevices(const QString& model) const
{
    return groups_->Devices(model);
}

QList<Device*> FleetWizard::SelectedDevices() const
{
    return Live(selectedPlaces_);
}

void FleetWizard::SetSelectedDevices(const QList<Device*>& devices)
{
    selectedPlaces_.clear();
    for (Device* device : devices) {
        const int place = offered_->PlaceOf(device);
        if (place >= 0)
            selectedPlaces_.append(place);
    }
}

// ---- model page ---------------------------------------------------------------------

FleetModelPage::FleetModelPage(FleetWizard* wizard) : QWizardPage(wizard), wizard_(wizard)
{
    setTitle(QStringLiteral("Select Device Model"));
    setSubTitle(wizard->Kind().modelSubTitle);
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Model to update:"), this), 0, 0);
    models_ = new QComboBox(this);
    layout->addWidget(models_, 0, 1);
    layout->setColumnStretch(1, 1);
    models_->addItems(wizard->Models());
    connect(models_, &QComboBox::currentIndexChanged, this, &QWizardPage::completeChanged);
    connect(&wizard->Groups(), &ModelGroups::ModelsChanged, this,
            [this] { RefillModels(models_, wizard_->Models()); });
}

void FleetModelPage::initializePage()
{
    models_->setCurrentIndex(models_->findText(wizard_->SelectedModel(), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

bool FleetModelPage::isComplete() const
{
    return !models_->currentText().isEmpty();
}

bool FleetModelPage::validatePage()
{
    wizard_->SetSelectedModel(models_->currentText());
    return QWizardPage::validatePage();
}

// ---- devices page -------------------------------------------------------------------

FleetDevicesPage::FleetDevicesPage(FleetWizard* wizard) : QWizardPage(wizard), wizard_(wizard)
{
    const FleetWizardKind& kind = wizard->Kind();
    setTitle(QStringLiteral("Select Devices"));
    setSubTitle(kind.devicesSubTitle);
    auto* layout = new QVBoxLayout(this);
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(new QLabel(QStringLiteral("Model:"), this));
    model_ = new QLabel(this);
    modelRow->addWidget(model_);
    modelRow->addStretch();
    layout->addLayout(modelRow);
    layout->addWidget(new QLabel(QStringLiteral("Select devices:"), this));

    list_ = new QTreeWidget(this);
    wizard_rows::SetUpList(list_, kind.columns, QAbstractItemView::NoSelection);
    list_->header()->setSectionResizeMode(QHeaderView::Stretch);
    for (int column = 1; column < list_->columnCount(); ++column) {
        if (column - 1 < kind.headerAlignment.size())
            list_->headerItem()->setData(column, Qt::TextAlignmentRole, int(kind.headerAlignment[column - 1]));
        list_->setItemDelegateForColumn(column, new OvalDelegate(list_));
    }
    layout->addWidget(list_);

    wizard_rows::AddCheckAllButtons(layout, list_);
    connect(&wizard->Offered(), &LiveDevices::Gone, this, [this](int place) { wizard_rows::RemoveRowsOf(list_, place); });
}

QTreeWidgetItem* FleetDevicesPage::AddRow(int place)
{
    Device* device = wizard_->Offered().At(place);
    const bool mosavra = wizard_->Kind().mosavraColumns;
    auto* family = qobject_cast<QelRDM*>(device);
    if (!device || (mosavra && !family))
        return nullptr;
    auto* row = new QTreeWidgetItem(list_);
    row->setFlags(row->flags() & ~Qt::ItemIsEditable);
    row->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<QObject*>(device)));
    wizard_rows::SetPlace(row, place);
    row->setCheckState(0, wizard_->SelectedPlaces().contains(place) ? Qt::Checked : Qt::Unchecked);
    row->setIcon(0, QIcon(QStringLiteral(":/Resources/fixture-16.png")));
    row->setText(0, device->GetModelName());
    int column = 1;
    if (mosavra)
        wizard_rows::SetBadge(row, column++, family->GetMosavraAddress(), wizard_rows::MosavraLight(),
                              wizard_rows::MosavraDark());
    wizard_rows::SetBadge(row, column, device->GetDmxAddress(), wizard_rows::AddressLight(), wizard_rows::AddressDark());
    return row;
}

void FleetDevicesPage::initializePage()
{
    model_->setText(wizard_->SelectedModel());
    list_->clear();
    for (int place : wizard_->ModelPlaces(wizard_->SelectedModel()))
        AddRow(place);
}

QList<Device*> FleetDevicesPage::CheckedDevices(QTreeWidgetItem* parent) const
{
    QList<Device*> devices;
    for (int place : wizard_rows::CheckedPlaces(parent)) {
        if (Device* device = wizard_->Offered().At(place))
            devices.append(device);
    }
    return devices;
}

bool FleetDevicesPage::validatePage()
{
    // Stored even when refused: the page shows these ticked when it is built again.
    const QList<Device*> checked = CheckedDevices(list_->invisibleRootItem());
    wizard_->SetSelectedDevices(checked);
    if (checked.isEmpty()) {
        QMessageBox::critical(this, QString(),
                              QStringLiteral("No devices selected.  Select one or more devices to update before "
                                             "continuing."),
                              QMessageBox::Ok);
        return false;
    }
    return QWizardPage::validatePage();
}
