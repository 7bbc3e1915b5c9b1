#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWizard>
#include <QWizardPage>

#include <functional>

class Device;
class FleetDevicesPage;
class FleetModelPage;
class LiveDevices;
class ModelGroups;
class QComboBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

// What one of the model-and-fixtures wizards (stock and Mosavra updates, the two
// delete-alls) says and shows; the rest they share.
struct FleetWizardKind
{
    QString title;
    QString modelSubTitle;
    QString devicesSubTitle;
    // "Description", then the badge columns.
    QStringList columns;
    // The header alignment of each badge column, from column 1.
    QList<Qt::Alignment> headerAlignment;
    // Column 1 the Mosavra address on a red badge, column 2 the DMX address, and rows only
    // for family fixtures (the others still count for their model). Otherwise column 1 is
    // the DMX address.
    bool mosavraColumns = false;
};

// A two-page wizard that lets the user pick one fixture model (page 0) and fixtures of
// that model (page 1). It only chooses: whoever runs it reads SelectedModel and
// SelectedDevices once exec answered Accepted.
//
// The fixtures are followed while it runs (LiveDevices): one the registry removes leaves
// its rows, the choice and, with its model's last fixture, the model list; every answer
// holds live fixtures only. GUI thread.
class FleetWizard : public QWizard
{
    Q_OBJECT
public:
    const FleetWizardKind& Kind() const { return kind_; }

    QString SelectedModel() const { return selectedModel_; }
    void SetSelectedModel(const QString& model) { selectedModel_ = model; }
    // The models with fixtures offered, in text order.
    QStringList Models() const;
    // The live fixtures of `model` offered, in the order given; none for an unknown model.
    QList<Device*> ModelDevices(const QString& model) const;
    // The live fixtures chosen on page 1, in list order.
    QList<Device*> SelectedDevices() const;
    void SetSelectedDevices(const QList<Device*>& devices);

    // The same by places of Offered().
    QList<int> ModelPlaces(const QString& model) const;
    QList<int> SelectedPlaces() const { return selectedPlaces_; }
    void SetSelectedPlaces(const QList<int>& places) { selectedPlaces_ = places; }
    LiveDevices& Offered() const { return *offered_; }
    ModelGroups& Groups() const { return *groups_; }

protected:
    using Offers = std::function<bool(Device*)>;
    // Offers the fixtures of `devices` that `offers` accepts, grouped by model text.
    FleetWizard(QWidget* parent, const QList<Device*>& devices, FleetWizardKind kind, const Offers& offers);
    // Page 0 and page 1; the wizard owns them.
    void SetPages(FleetModelPage* models, FleetDevicesPage* devices);

private:
    QList<Device*> Live(const QList<int>& places) const;

    FleetWizardKind kind_;
    LiveDevices* offered_ = nullptr;
    ModelGroups* groups_ = nullptr;
    QString selectedModel_;
    QList<int> selectedPlaces_;
};

// Page 0: "Select Device Model", a combo of the wizard's models.
class FleetModelPage : public QWizardPage
{
    Q_OBJECT
public:
    explicit FleetModelPage(FleetWizard* wizard);

    void initializePage() override;
    bool validatePage() override;
    bool isComplete() const override;

private:
    FleetWizard* wizard_;
    QComboBox* models_;
};

// Page 1: "Select Devices", the chosen model's fixtures with check boxes; Finish needs one
// ticked.
class FleetDevicesPage : public QWizardPage
{
    Q_OBJECT
public:
    explicit FleetDevicesPage(FleetWizard* wizard);

    void initializePage() override;
    bool validatePage() override;
    // The live fixtures of the ticked rows below `parent`, depth first.
    QList<Device*> CheckedDevices(QTreeWidgetItem* parent) const;

private:
    QTreeWidgetItem* AddRow(int place);

    FleetWizard* wizard_;
    QLabel* model_;
    QTreeWidget* list_;
};
