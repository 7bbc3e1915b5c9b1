#include "tools/screenshots/DialogScenes.h"

#include "link/operation/Operation.h"
#include "link/ui/NameDialog.h"
#include "link/ui/OperationDialog.h"
#include "tools/screenshots/Shooting.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A copy into the user library that failed part-way, with a warning and an error line.
class FailedCopy : public Operation
{
public:
    QString Title() override { return QStringLiteral("Copying My Show to User Content"); }
    int Run(IFeedback* feedback) override
    {
        feedback->SetTotal(3);
        feedback->AddString(QStringLiteral("Creating folder My Show in User Content"), FeedbackNormal);
        feedback->SetCurrent(1);
        feedback->AddString(QStringLiteral("Copying Opening to My Show"), FeedbackNormal);
        feedback->AddString(QStringLiteral("Sunrise was renamed Sunrise1: My Show holds a Sunrise already"),
                            FeedbackWarning);
        feedback->SetCurrent(2);
        feedback->AddString(QStringLiteral("Washes could not be written to My Show: the disk is full"), FeedbackError);
        return Operation::Failure;
    }
};

bool TakeFailedOperation(Shooter& shooter)
{
    OperationDialog dialog;
    FailedCopy copy;
    bool saved = false;
    // The dialog runs its own event loop: it is grabbed from a timer of that loop.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("okButton"));
        if (!ok->isVisible() || !QTest::qWaitForWindowExposed(&dialog))
            return;
        poll.stop();
        dialog.findChild<QPushButton*>(QStringLiteral("detailsButton"))->click();
        QTest::qWait(50);
        saved = shooter.Save(QStringLiteral("operation-failed.png"), Grab(dialog));
        ok->click();
    });
    poll.start(10);
    dialog.Run(&copy);
    return saved;
}

} // namespace

bool TakeDialogScenes(Shooter& shooter)
{
    {
        NameDialog name(QString(), nullptr, QStringLiteral("New BREVANT Package"));
        if (!ShowDialog(name) || !shooter.Save(QStringLiteral("name-dialog.png"), Grab(name)))
            return false;
    }
    return TakeFailedOperation(shooter);
}
