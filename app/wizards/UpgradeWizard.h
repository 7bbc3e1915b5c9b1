#pragma once

#include <QList>
#include <QString>
#include <QWizard>
#include <QWizardPage>

class Device;
class LiveDevices;
class ModelGroups;
class QComboBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

// Lets the user pick one model among the upgradable fixtures (page 0), the firmware file
// for it (page 1, skipped when the model names a default file) and the fixtures of that
// model to receive it (page 2). Everything it knows about a model it asks the fixtures'
// Device answers. Whoever runs it reads GetUpgradeList and GetFile once exec answered
// Accepted.
//
// The fixtures are followed while it runs: one the registry removes leaves its row, the
// upgrade list and, with its model's last fixture, the model combo; the answers hold live
// fixtures only. GUI thread.
class UpgradeWizard : public QWizard
{
    Q_OBJECT
public:
    UpgradeWizard(QWidget* parent, const QList<Device*>& devices);

    // The fixtures of `devices` the wizard offers: the upgradable ones, in order.
    static QList<Device*> Upgradable(const QList<Device*>& devices);

    // The upgradable fixtures of the list given, still here, in the order given.
    QList<Device*> GetUpgradableDevices() const;
    // The fixtures chosen on page 2, still here.
    QList<Device*> GetUpgradeList() const;
    QString GetFile() const;
    // The live fixtures of `model`; none for a name no fixture has.
    QList<Device*> GetModelDevices(const QString& model) const;
    QStringList Models() const;
    bool IsInUpgradeList(Device* device) const;
    void AddToUpgradeList(Device* device);
    void ClearUpgradeList() { upgradePlaces_.clear(); }
    LiveDevices& Offered() const { return *offered_; }
    ModelGroups& Groups() const { return *groups_; }

    int nextId() const override;

private:
    LiveDevices* offered_ = nullptr;
    ModelGroups* groups_ = nullptr;
    QList<int> upgradePlaces_;
};

class UpgradeModelPage : public QWizardPage
{
    Q_OBJECT
public:
    explicit UpgradeModelPage(UpgradeWizard* wizard);

    void initializePage() override;
    bool validatePage() override;
    bool isComplete() const override;

private:
    UpgradeWizard* wizard_;
    QComboBox* models_;
};

class UpgradeFirmwareFilePage : public QWizardPage
{
    Q_OBJECT
public:
    explicit UpgradeFirmwareFilePage(UpgradeWizard* wizard);

    void initializePage() override;

public slots:
    // Asks for the file in a file dialog that starts in the folder last used for firmware
    // and shows the model's file filter; a file chosen goes to the line edit and its folder
    // is remembered. Nothing for a model without fixtures.
    void OnBrowseButtonClicked();

private:
    UpgradeWizard* wizard_;
    QLabel* model_;
    QLineEdit* file_;
};

class UpgradeDevicePage : public QWizardPage
{
    Q_OBJECT
public:
    explicit UpgradeDevicePage(UpgradeWizard* wizard);

    void initializePage() override;
    bool validatePage() override;

private:
    UpgradeWizard* wizard_;
    QLabel* model_;
    QLabel* version_;
    QTreeWidget* list_;
};
