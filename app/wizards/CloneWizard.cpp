#include "app/wizards/CloneWizard.h"

#include "app/widgets/ItemPainters.h"
#include "app/wizards/LiveDevices.h"
#include "app/wizards/WizardRows.h"
#include "content/ContentFolder.h"
#include "content/policies/NamedPolicies.h"
#include "content/policies/PolicyFolder.h"
#include "fixtures/tree/QelRDMContentFolder.h"
#include "link/devices/Device.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Column 0 of a package row: the package's index in the wizard.
constexpr int kPackageRole = Qt::UserRole + 3;

QTreeWidget* MakeTree(QWidget* page, QAbstractItemView::SelectionMode selection)
{
    auto* tree = new QTreeWidget(page);
    wizard_rows::SetUpList(tree, {QStringLiteral("Description"), QStringLiteral("Address")}, selection);
    tree->headerItem()->setData(1, Qt::TextAlignmentRole, int(Qt::AlignRight));
    tree->header()->setSectionResizeMode(QHeaderView::Stretch);
    tree->setItemDelegateForColumn(1, new OvalDelegate(tree));
    return tree;
}

Qt::ItemFlags WithoutSelectAndEdit(Qt::ItemFlags flags)
{
    return flags & ~(Qt::ItemIsSelectable | Qt::ItemIsEditable);
}

QTreeWidgetItem* AddHeading(QTreeWidget* tree, const QString& text, const char* icon)
{
    auto* heading = new QTreeWidgetItem(tree, {text});
    heading->setIcon(0, QIcon(QString::fromLatin1(icon)));
    QFont bold = heading->font(0);
    bold.setWeight(QFont::Bold);
    heading->setFont(0, bold);
    heading->setFlags(WithoutSelectAndEdit(heading->flags()));
    return heading;
}

void AddNote(QTreeWidgetItem* heading, const QString& text)
{
    auto* note = new QTreeWidgetItem(heading, {text});
    note->setFlags(WithoutSelectAndEdit(note->flags()));
}

QTreeWidgetItem* AddFixtureRow(QTreeWidgetItem* heading, Device* device, int place)
{
    auto* row = new QTreeWidgetItem(heading);
    row->setFlags(row->flags() & ~Qt::ItemIsEditable);
    row->setIcon(0, QIcon(QStringLiteral(":/Resources/fixture-16.png")));
    row->setText(0, device->GetModelName());
    wizard_rows::SetBadge(row, 1, device->GetDmxAddress(), wizard_rows::AddressLight(), wizard_rows::AddressDark());
    row->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<QObject*>(device->GetUserContentGroup())));
    wizard_rows::SetPlace(row, place);
    return row;
}

// "<name> <family>" of a package as the source page lists it.
QString PackageText(ContentFolder* package)
{
    if (auto* policyFolder = qobject_cast<ContentPolicyFolder*>(package)) {
        const PolicyBase* policy = policyFolder->Policy();
        return package->GetName() + QLatin1Char(' ') + QString::fromLatin1(policy ? policy->FamilySuffix() : "");
    }
    return package->GetName()
        + (qobject_cast<BrevantRDMContentFolder*>(package) ? QStringLiteral(" (BREVANT)") : QStringLiteral(" (Cindral)"));
}

void RemovePackageRow(QTreeWidget* tree, int index)
{
    for (int top = 0; top < tree->topLevelItemCount(); ++top) {
        QTreeWidgetItem* heading = tree->topLevelItem(top);
        for (int i = heading->childCount() - 1; i >= 0; --i) {
            const QVariant package = heading->child(i)->data(0, kPackageRole);
            if (package.isValid() && package.toInt() == index)
                delete heading->child(i);
        }
    }
}

} // namespace

CloneWizard::CloneWizard(QWidget* parent, const QList<Device*>& devices, const QList<ContentFolder*>& packages)
    : QWizard(parent)
{
    QList<Device*> withContent;
    for (Device* device : devices) {
        if (device && device->GetUserContentGroup())
            withContent.append(device);
    }
    devices_ = new LiveDevices(withContent, this);
    connect(devices_, &LiveDevices::Gone, this, &CloneWizard::OnDeviceGone);
    for (ContentFolder* package : packages) {
        const int index = PackageCount();
        packages_.append(package);
        if (package) {
            connect(package, &QObject::destroyed, this, [this, index] {
                if (sourcePackage_ == index)
                    sourcePackage_ = -1;
                emit PackageGone(index);
            });
        }
    }
    setWindowTitle(QStringLiteral("Content Clone Wizard"));
    setOptions(options() | QWizard::NoBackButtonOnStartPage);
    setPage(0, new CloneSourcePage(this));
    setPage(1, new CloneDestPage(this));
}

ContentFolder* CloneWizard::Package(int index) const
{
    return index >= 0 && index < PackageCount() ? packages_[index].data() : nullptr;
}

Device* CloneWizard::DeviceAt(int place) const
{
    return devices_->At(place);
}

ContentFolder* CloneWizard::Source() const
{
    if (sourcePackage_ >= 0)
        return Package(sourcePackage_);
    Device* device = SourceDevice();
    return device ? device->GetUserContentGroup() : nullptr;
}

void CloneWizard::SetSourceDevice(int place)
{
    sourcePlace_ = place;
    sourcePackage_ = -1;
}

void CloneWizard::SetSourcePackage(int index)
{
    sourcePackage_ = index;
    sourcePlace_ = -1;
}

QList<ContentFolder*> CloneWizard::Targets() const
{
    QList<ContentFolder*> targets;
    for (int place : targetPlaces_) {
        Device* device = devices_->At(place);
        ContentFolder* group = device ? device->GetUserContentGroup() : nullptr;
        if (group)
            targets.append(group);
    }
    return targets;
}

void CloneWizard::OnDeviceGone(int place)
{
    if (sourcePlace_ == place)
        sourcePlace_ = -1;
    targetPlaces_.removeAll(place);
}

// ---- source page --------------------------------------------------------------------

CloneSourcePage::CloneSourcePage(CloneWizard* wizard) : QWizardPage(wizard), wizard_(wizard)
{
    setTitle(QStringLiteral("Select Source Device or Package"));
    setSubTitle(QStringLiteral("Select the device or content package containing the source content to clone from."));
    auto* layout = new QVBoxLayout(this);
    tree_ = MakeTree(this, QAbstractItemView::SingleSelection);
    layout->addWidget(tree_);
    connect(&wizard->Devices(), &LiveDevices::Gone, this, [this](int place) { wizard_rows::RemoveRowsOf(tree_, place); });
    connect(wizard, &CloneWizard::PackageGone, this, [this](int index) { RemovePackageRow(tree_, index); });
}

void CloneSourcePage::initializePage()
{
    tree_->clear();
    ContentFolder* source = wizard_->Source();
    QTreeWidgetItem* devices = AddHeading(tree_, QStringLiteral("Devices"), ":/Resources/truss-16.png");
    const QList<Device*> live = wizard_->Devices().Live();
    if (live.isEmpty())
        AddNote(devices, QStringLiteral("(no devices found)"));
    for (Device* device : live) {
        QTreeWidgetItem* row = AddFixtureRow(devices, device, wizard_->Devices().PlaceOf(device));
        row->setSelected(!wizard_->SourceIsPackage() && device == wizard_->SourceDevice());
    }
    QTreeWidgetItem* packages = AddHeading(tree_, QStringLiteral("User Content"), ":/Resources/content-database-16.png");
    bool anyPackage = false;
    for (int index = 0; index < wizard_->PackageCount(); ++index) {
        ContentFolder* package = wizard_->Package(index);
        if (!package)
            continue;
        anyPackage = true;
        auto* row = new QTreeWidgetItem(packages, {PackageText(package)});
        row->setFlags(row->flags() & ~Qt::ItemIsEditable);
        row->setIcon(0, QIcon(QStringLiteral(":/Resources/content-package-16.png")));
        row->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<QObject*>(package)));
        row->setData(0, kPackageRole, index);
        row->setSelected(wizard_->SourceIsPackage() && package == source);
    }
    if (!anyPackage)
        AddNote(packages, QStringLiteral("(no packages found)"));
    tree_->expandAll();
}

bool CloneSourcePage::validatePage()
{
    QTreeWidgetItem* current = tree_->currentItem();
    if (current && current->isSelected()) {
        const int place = wizard_rows::PlaceOf(current);
        const QVariant package = current->data(0, kPackageRole);
        if (place >= 0)
            wizard_->SetSourceDevice(place);
        else if (package.isValid())
            wizard_->SetSourcePackage(package.toInt());
        if ((place >= 0 || package.isValid()) && wizard_->Source())
            return QWizardPage::validatePage();
    }
    QMessageBox::critical(this, QString(), QStringLiteral("No source selected.  Select a source device or folder before continuing."),
                          QMessageBox::Ok);
    return false;
}

// ---- destination page ---------------------------------------------------------------

CloneDestPage::CloneDestPage(CloneWizard* wizard) : QWizardPage(wizard), wizard_(wizard)
{
    setTitle(QStringLiteral("Select Destination Devices"));
    setSubTitle(QStringLiteral("Select the devices to receive the clone content.  All other content on the destination "
                               "devices will be REMOVED."));
    auto* layout = new QVBoxLayout(this);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(new QLabel(QStringLiteral("Source:"), this));
    source_ = new QLabel(this);
    sourceRow->addWidget(source_);
    sourceRow->addStretch();
    layout->addLayout(sourceRow);
    layout->addWidget(new QLabel(QStringLiteral("Select destination devices:"), this));
    tree_ = MakeTree(this, QAbstractItemView::NoSelection);
    layout->addWidget(tree_);
    connect(&wizard->Devices(), &LiveDevices::Gone, this, [this](int place) { wizard_rows::RemoveRowsOf(tree_, place); });
}

bool CloneDestPage::Takes(Device* device) const
{
    if (!wizard_->SourceIsPackage())
        return true;
    const PolicyBase* policy = PolicyOf(wizard_->Source());
    const QString model = device->GetModelName();
    return (model.contains(QLatin1String("BREVANT")) && policy == BREVANTContentPackagePolicy::Instance())
        || (model.contains(QLatin1String("Cindral")) && policy == CINDRALContentPackagePolicy::Instance());
}

void CloneDestPage::initializePage()
{
    ContentFolder* source = wizard_->Source();
    Device* owner = wizard_->SourceDevice();
    source_->setText(owner ? QStringLiteral("%1, Address %2").arg(owner->GetModelName()).arg(owner->GetDmxAddress())
                           : (source ? source->GetName() : QString()));
    tree_->clear();
    QTreeWidgetItem* devices = AddHeading(tree_, QStringLiteral("Devices"), ":/Resources/truss-16.png");
    bool anyCandidate = false;
    for (Device* device : wizard_->Devices().Live()) {
        if (!Takes(device))
            continue;
        anyCandidate = true;
        const int place = wizard_->Devices().PlaceOf(device);
        QTreeWidgetItem* row = AddFixtureRow(devices, device, place);
        row->setCheckState(0, wizard_->TargetPlaces().contains(place) ? Qt::Checked : Qt::Unchecked);
    }
    if (!anyCandidate)
        AddNote(devices, QStringLiteral("(no devices found)"));
    tree_->expandAll();
}

bool CloneDestPage::validatePage()
{
    // Stored even when refused: the page shows these ticked when it is built again.
    wizard_->SetTargetPlaces(wizard_rows::CheckedPlaces(tree_->invisibleRootItem()));
    if (!wizard_->Source()) {
        // The source's fixture left the line while this page was open.
        QMessageBox::critical(this, QString(),
                              QStringLiteral("No source selected.  Select a source device or folder before continuing."),
                              QMessageBox::Ok);
        wizard_->back();
        return false;
    }
    if (wizard_->Targets().isEmpty()) {
        QMessageBox::critical(this, QString(),
                              QStringLiteral("No destination devices selected.  Select one or more destination devices "
                                             "before continuing."),
                              QMessageBox::Ok);
        return false;
    }
    return QWizardPage::validatePage();
}
