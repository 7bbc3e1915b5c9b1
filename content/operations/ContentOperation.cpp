#include "content/operations/ContentOperation.h"

#include <QPointer>

namespace {

QPointer<QObject>& Receiver()
{
    static QPointer<QObject> receiver;
    return receiver;
}

} // namespace

ContentOperation::ContentOperation(QObject* parent) : Operation(parent)
{
    // Connected by name: the content engine knows no window class.
    if (QObject* receiver = Receiver().data()) {
        connect(this, SIGNAL(InformationMessageBox(QString, QString)), receiver,
                SLOT(DisplayInformationBox(QString, QString)));
    }
}

void ContentOperation::SetMessageReceiver(QObject* receiver)
{
    Receiver() = receiver;
}

QObject* ContentOperation::MessageReceiver()
{
    return Receiver().data();
}
