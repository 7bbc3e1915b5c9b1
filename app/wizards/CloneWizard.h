#pragma once

#include <QList>
#include <QPointer>
#include <QWizard>
#include <QWizardPage>

class ContentFolder;
class Device;
class LiveDevices;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

// Lets the user pick one source, the user content of a fixture or a package of the user
// library (page 0), and the fixtures whose user content is to be made equal to it (page 1).
// It only chooses: whoever runs it reads Source and Targets once exec answered Accepted.
//
// Fixtures and packages are followed while it runs: a fixture the registry removes leaves
// its rows, the targets and, when its content was the source, the source; a package that
// is deleted leaves its row and the source. Source and Targets answer live folders only.
// GUI thread.
class CloneWizard : public QWizard
{
    Q_OBJECT
public:
    // Offers the fixtures of `devices` that have a user content group, and `packages`.
    CloneWizard(QWidget* parent, const QList<Device*>& devices, const QList<ContentFolder*>& packages);

    LiveDevices& Devices() const { return *devices_; }
    int PackageCount() const { return static_cast<int>(packages_.size()); }
    // The package at `index`; null once deleted.
    ContentFolder* Package(int index) const;

    // The chosen source: a fixture's user content group or a package; null when none is
    // chosen or it has gone.
    ContentFolder* Source() const;
    // The fixture whose user content is the source; null for a package or none.
    Device* SourceDevice() const { return devices_ ? DeviceAt(sourcePlace_) : nullptr; }
    bool SourceIsPackage() const { return sourcePackage_ >= 0 && Source(); }
    void SetSourceDevice(int place);
    void SetSourcePackage(int index);
    // The user content groups of the chosen fixtures that are still here, in list order.
    QList<ContentFolder*> Targets() const;
    QList<int> TargetPlaces() const { return targetPlaces_; }
    void SetTargetPlaces(const QList<int>& places) { targetPlaces_ = places; }

signals:
    // The package at `index` was deleted.
    void PackageGone(int index);

private:
    Device* DeviceAt(int place) const;
    void OnDeviceGone(int place);

    LiveDevices* devices_ = nullptr;
    QList<QPointer<ContentFolder>> packages_;
    int sourcePlace_ = -1;
    int sourcePackage_ = -1;
    QList<int> targetPlaces_;
};

// Page 0: "Devices" and their user content, "User Content" and its packages; one is
// selected.
class CloneSourcePage : public QWizardPage
{
    Q_OBJECT
public:
    explicit CloneSourcePage(CloneWizard* wizard);

    void initializePage() override;
    bool validatePage() override;
    bool isComplete() const override { return true; }

private:
    CloneWizard* wizard_;
    QTreeWidget* tree_;
};

// Page 1: the fixtures that may take the source, with check boxes; Finish needs one ticked.
class CloneDestPage : public QWizardPage
{
    Q_OBJECT
public:
    explicit CloneDestPage(CloneWizard* wizard);

    void initializePage() override;
    bool validatePage() override;

private:
    // Whether the fixture may take the source: any fixture for a fixture's content, one of
    // the package's family for a package.
    bool Takes(Device* device) const;

    CloneWizard* wizard_;
    QLabel* source_;
    QTreeWidget* tree_;
};
