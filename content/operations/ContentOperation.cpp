#include "content/operations/ContentOperation.h"

#include "content/ContentFolder.h"
#include "content/ContentMutex.h"

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

bool ContentOperation::IsOfRemovedFixture(const ContentFolder* folder) const
{
    if (!folder)
        return false;
    ContentLocker lock(&ContentMutex);
    return removalHold_.IsRemovedContent(folder->GetRoot());
}
