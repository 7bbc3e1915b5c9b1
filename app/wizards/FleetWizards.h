#pragma once

#include "app/wizards/FleetWizard.h"

class MosavraContentLibraryRoot;
class StockContentRoot;

// The four model-and-fixtures wizards of the main window's fleet commands. They differ only
// in their texts, columns and which fixtures they offer (FleetWizards.cpp holds the table).

// Stock content update: fixtures with a stock content group whose model has a stock
// package (`root` may be null: nothing is offered).
class StockContentWizard : public FleetWizard
{
    Q_OBJECT
public:
    StockContentWizard(QWidget* parent, const QList<Device*>& devices, StockContentRoot* root);
};

class StockContentModelPage : public FleetModelPage
{
    Q_OBJECT
public:
    using FleetModelPage::FleetModelPage;
};

class StockContentDevicesPage : public FleetDevicesPage
{
    Q_OBJECT
public:
    using FleetDevicesPage::FleetDevicesPage;
};

// Mosavra content update: fixtures with a stock content group whose model names a package
// of the Mosavra library; rows only for family fixtures.
class UpdateMosavraContentWizard : public FleetWizard
{
    Q_OBJECT
public:
    UpdateMosavraContentWizard(QWidget* parent, const QList<Device*>& devices, MosavraContentLibraryRoot* root);
};

class UpdateMosavraContentModelPage : public FleetModelPage
{
    Q_OBJECT
public:
    using FleetModelPage::FleetModelPage;
};

class UpdateMosavraContentDevicesPage : public FleetDevicesPage
{
    Q_OBJECT
public:
    using FleetDevicesPage::FleetDevicesPage;
};

// Deletion of all user content: fixtures with a user content group.
class DeleteAllUserContentWizard : public FleetWizard
{
    Q_OBJECT
public:
    DeleteAllUserContentWizard(QWidget* parent, const QList<Device*>& devices);
};

class DeleteAllUserContentModelPage : public FleetModelPage
{
    Q_OBJECT
public:
    using FleetModelPage::FleetModelPage;
};

class DeleteAllUserContentDevicesPage : public FleetDevicesPage
{
    Q_OBJECT
public:
    using FleetDevicesPage::FleetDevicesPage;
};

// Deletion of all Mosavra content: fixtures with a user content group; rows only for
// family fixtures.
class DeleteAllMosavraContentWizard : public FleetWizard
{
    Q_OBJECT
public:
    DeleteAllMosavraContentWizard(QWidget* parent, const QList<Device*>& devices);
};

class DeleteAllMosavraContentModelPage : public FleetModelPage
{
    Q_OBJECT
public:
    using FleetModelPage::FleetModelPage;
};

class DeleteAllMosavraContentDevicesPage : public FleetDevicesPage
{
    Q_OBJECT
public:
    using FleetDevicesPage::FleetDevicesPage;
};
