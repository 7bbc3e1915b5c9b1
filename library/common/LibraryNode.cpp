#include "library/common/LibraryNode.h"

#include "content/ContentFolder.h"
#include "content/policies/PolicyBase.h"
#include "link/feedback/Feedback.h"

#include <QThread>

namespace LibraryNode {

QString ChildPath(const QString& parentPath, const QString& name)
{
    if (parentPath.isEmpty())
        return QString();
    return FileLayer::FilePath(parentPath, name);
}

bool FindDir(const QString& path, const ContentBase* node, FileLayer::Dir& dir, IFeedback* feedback)
{
    if (path.isEmpty() || !FileLayer::IsDir(path))
        return Refuse(feedback, MissingDirText(node));
    dir = FileLayer::Dir(path);
    return true;
}

void ReportError(IFeedback* feedback, const QString& text)
{
    if (feedback)
        feedback->AddString(text, FeedbackError);
}

bool Refuse(IFeedback* feedback, const QString& text)
{
    ReportError(feedback, text);
    return false;
}

bool Conclude(IFeedback* feedback, const ArchiveResult& saved)
{
    if (!feedback)
        return true;
    if (saved.Ok()) {
        feedback->Finished(FeedbackSuccess);
    } else {
        ReportError(feedback, saved.Message());
        feedback->Finished(FeedbackFailure);
    }
    return true;
}

ArchiveResult FirstFailure(const ArchiveResult& first, const ArchiveResult& second)
{
    return first.Ok() ? second : first;
}

void MoveToOwnerThread(QObject* node, const QObject* owner)
{
    QThread* target = owner->thread();
    QThread* current = node->thread();
    if (current == target)
        return;
    // Qt lets only the thread an object lives on (or any thread, for an object that lives on
    // none) hand it to another.
    if (current == QThread::currentThread() || current == nullptr)
        node->moveToThread(target);
}

QIcon PackageIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/Resources/content-package-16.png"));
    icon.addFile(QStringLiteral(":/Resources/content-package.png"));
    return icon;
}

QString ChildTypeName(PolicyBase* policy, ContentFolder* folder, int kind)
{
    PolicyBase* child = policy ? policy->NewChildPolicy(folder, kind) : nullptr;
    return child ? QString::fromLatin1(child->DisplayName()) : QString();
}

QString MissingDirText(const ContentBase* node)
{
    return QStringLiteral("The folder of %1 is missing on disk").arg(node->GetName());
}

QString UnreadText(const ContentBase* node)
{
    return QStringLiteral("%1 could not be read, so it is left as it is").arg(node->GetName());
}

QString ConflictText()
{
    return QStringLiteral("New name and/or address conflicts with an existing child");
}

QString AddressOutOfRangeText()
{
    return QStringLiteral("Address out of range");
}

} // namespace LibraryNode
