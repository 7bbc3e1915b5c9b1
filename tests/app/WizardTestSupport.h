#pragma once

#include "link/devices/Device.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QStringList>
#include <QTreeWidget>
#include <QWizard>
#include <QWizardPage>

class ContentFolder;

// Helpers of the wizards' tests.
namespace wizard_test {

// A fixture of any model with the content groups the test gives it; not upgradable.
class StandInFixture : public Device
{
    Q_OBJECT
public:
    StandInFixture(const QString& model, quint32 id, ContentFolder* stock, ContentFolder* user = nullptr)
        : model_(model), stock_(stock), user_(user)
    {
        SetUniqueId(id, 0x7FF0);
    }
    int GetProtocolType() const override { return 1; }
    void SetModelIndex(quint16) override {}
    quint16 GetModelIndex() const override { return 0; }
    QString GetModelName() const override { return model_; }
    quint16 GetDeviceModelId() const override { return 0; }
    void SetDeviceModelId(quint16) override {}
    QString GetManufacturer() const override { return QStringLiteral("Quorvane"); }
    quint16 GetDmxAddress() const override { return 9; }
    QString GetSoftwareVersion() const override { return QStringLiteral("1"); }
    void BuildParameterTable(QStandardItemModel*) override {}
    QString GetDeviceName() const override { return QString(); }
    ContentFolder* GetStockContentGroup() override { return stock_; }
    ContentFolder* GetUserContentGroup() override { return user_; }

private:
    QString model_;
    ContentFolder* stock_;
    ContentFolder* user_;
};

inline QTreeWidget* ListOf(QWizard* wizard)
{
    return wizard->currentPage()->findChild<QTreeWidget*>();
}

inline QComboBox* ComboOf(QWizard* wizard)
{
    return wizard->currentPage()->findChild<QComboBox*>();
}

// The texts of every column of `row`.
inline QStringList Texts(const QTreeWidgetItem* row)
{
    QStringList texts;
    for (int column = 0; column < row->columnCount(); ++column)
        texts << row->text(column);
    return texts;
}

inline QStringList Headers(const QTreeWidget* list)
{
    return Texts(list->headerItem());
}

// The texts of column 0 of every row, depth first, children indented by two blanks.
inline QStringList Outline(const QTreeWidgetItem* parent, const QString& indent = QString())
{
    QStringList lines;
    for (int i = 0; i < parent->childCount(); ++i) {
        lines << indent + parent->child(i)->text(0);
        lines += Outline(parent->child(i), indent + QStringLiteral("  "));
    }
    return lines;
}

inline QStringList ComboItems(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// The texts of the labels on the current page, in creation order.
inline QStringList LabelTexts(QWizard* wizard)
{
    QStringList texts;
    for (const QLabel* label : wizard->currentPage()->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

inline void Click(QWizard* wizard, QWizard::WizardButton which)
{
    wizard->button(which)->click();
}

} // namespace wizard_test
