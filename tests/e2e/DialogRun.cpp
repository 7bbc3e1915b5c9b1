#include "tests/e2e/DialogRun.h"

#include "link/operation/Operation.h"
#include "link/ui/OperationDialog.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <atomic>

namespace {

// Runs `inner` for the dialog and keeps its answer.
class RecordedOperation : public Operation
{
public:
    explicit RecordedOperation(Operation& inner) : inner_(inner) {}
    QString Title() override { return inner_.Title(); }
    int Run(IFeedback* feedback) override
    {
        result = inner_.Run(feedback);
        return result;
    }
    std::atomic<int> result{-1};

private:
    Operation& inner_;
};

} // namespace

Outcome RunThroughDialog(Operation& operation)
{
    RecordedOperation recorded(operation);
    OperationDialog dialog;
    // A run that did not succeed leaves the dialog open for the user: press OK.
    QTimer okPresser;
    okPresser.setInterval(0);
    QObject::connect(&okPresser, &QTimer::timeout, [&] {
        auto* ok = dialog.findChild<QPushButton*>("okButton");
        if (ok && ok->isVisible()) {
            okPresser.stop();
            ok->click();
        }
    });
    okPresser.start();
    Outcome outcome;
    outcome.accepted = dialog.Run(&recorded);
    outcome.result = recorded.result;
    outcome.title = dialog.windowTitle();
    outcome.log = dialog.findChild<QTextEdit*>("log")->toPlainText();
    const auto* bar = dialog.findChild<QProgressBar*>("progressBar");
    outcome.maximum = bar->maximum();
    outcome.value = bar->value();
    return outcome;
}
