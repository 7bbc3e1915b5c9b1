#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

// While it lives, what a person does to the windows that were open when it was made —
// clicks, keys and shortcuts, the wheel, touch, drops, closing from the title bar — is
// swallowed, except on the window of `keep`. Qt blocks other windows only once a modal
// window shows; this blocks them before that, for a modal dialog that is not shown yet.
// Windows opened later are left alone, so a message box that appears meanwhile can be
// answered. Events that code sends (not spontaneous) pass. GUI thread.
class InputBlocker : public QObject
{
    Q_OBJECT
public:
    explicit InputBlocker(QWidget* keep);
    ~InputBlocker() override;

    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsBlocked(const QWidget* window) const;

    QList<QPointer<QWidget>> blocked_;
};
