#pragma once

#include "app/shell/IFleetChooser.h"
#include "link/ui/OperationDialog.h"

#include <QAction>
#include <QApplication>
#include <QList>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QString>
#include <QWidget>

#include <functional>

// Helpers of the main window's tests.
namespace app_test {

// The action of `window` whose text is `text`; null when there is none.
inline QAction* FindAction(const QWidget& window, const QString& text)
{
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// The texts of a menu's entries, "-" for a separator.
inline QStringList EntryTexts(const QMenu& menu)
{
    QStringList texts;
    for (QAction* action : menu.actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

// Clicks the operation dialog's OK once its run has ended and it asks for it (a dialog
// that closes by itself is left alone). Polls from the dialog's own event loop.
inline void ConfirmWhenDone(OperationDialog* dialog)
{
    auto* timer = new QTimer(dialog);
    QObject::connect(timer, &QTimer::timeout, dialog, [dialog, timer] {
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("okButton"));
        if (ok && ok->isVisible()) {
            timer->stop();
            ok->click();
        }
    });
    timer->start(0);
}

// Answers whatever modal dialog a fleet command opens, for as long as it lives: message
// boxes are read and accepted; the operation dialog, which shows itself when a run is slow
// or fails, is confirmed once its run has ended. Polls from the dialogs' own event loops.
class ModalAnswerer
{
public:
    ModalAnswerer()
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }

    // Title and text of each message box, in order.
    QStringList boxes;
    // Whether an operation dialog had to be confirmed (its run was slow or failed).
    int confirmedRuns = 0;

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes << box->windowTitle() << box->text();
            box->accept();
        } else if (auto* dialog = qobject_cast<OperationDialog*>(modal)) {
            auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("okButton"));
            if (ok && ok->isVisible()) {
                ++confirmedRuns;
                ok->click();
            }
        }
    }

    QTimer timer_;
};

// A chooser whose answers the test sets, and which counts what it was asked.
class ScriptedChooser : public IFleetChooser
{
public:
    std::optional<FleetChoice> ChooseStockUpdate(QWidget*, const QList<Device*>& devices, ContentFolder*) override
    {
        return Answer(devices);
    }
    std::optional<FleetChoice> ChooseMosavraUpdate(QWidget*, const QList<Device*>& devices, ContentFolder*) override
    {
        return Answer(devices);
    }
    std::optional<FleetChoice> ChooseUserContentDeletion(QWidget*, const QList<Device*>& devices) override
    {
        return Answer(devices);
    }
    std::optional<FleetChoice> ChooseMosavraContentDeletion(QWidget*, const QList<Device*>& devices) override
    {
        return Answer(devices);
    }
    std::optional<FleetChoice> ChooseClone(QWidget*, const QList<Device*>& devices,
                                           const QList<ContentFolder*>& packages) override
    {
        offeredPackages = packages;
        return Answer(devices);
    }
    QList<Device*> UpgradableDevices(const QList<Device*>& devices) override
    {
        return upgradable ? upgradable(devices) : devices;
    }
    std::optional<FleetChoice> ChooseUpgrade(QWidget*, const QList<Device*>& devices) override
    {
        return Answer(devices);
    }
    void ShowAbout(QWidget*) override { ++aboutShown; }

    // The answer to every Choose: made from the devices offered; nothing: declined.
    std::function<std::optional<FleetChoice>(const QList<Device*>& offered)> answer;
    std::function<QList<Device*>(const QList<Device*>&)> upgradable;
    int asked = 0;
    int aboutShown = 0;
    QList<Device*> offered;
    QList<ContentFolder*> offeredPackages;

private:
    std::optional<FleetChoice> Answer(const QList<Device*>& devices)
    {
        ++asked;
        offered = devices;
        return answer ? answer(devices) : std::nullopt;
    }
};

} // namespace app_test
