#include "content/ContentFolder.h"

#include "content/ContentMutex.h"
#include "link/feedback/Feedback.h"

#include <QFileInfo>
#include <QPointer>
#include <QSet>

const char* const ContentFolder::kNotModifiableText = "Items in this folder can't be modified";

ContentFolder::ContentFolder(ContentFolder* parent) : ContentBase(parent) {}

namespace {

// The last folder reached from `start` through `up` (GetParent or GetParentFolder).
ContentFolder* Topmost(const ContentFolder* start, ContentFolder* (ContentBase::*up)() const)
{
    ContentLocker lock(&ContentMutex);
    // The walk hands out the folders it passes, the start included, for the caller to use.
    auto* folder = const_cast<ContentFolder*>(start);
    while (ContentFolder* parent = (folder->*up)())
        folder = parent;
    return folder;
}

} // namespace

ContentFolder* ContentFolder::GetRoot() const
{
    return Topmost(this, &ContentBase::GetParent);
}

ContentFolder* ContentFolder::GetTopFolder() const
{
    return Topmost(this, &ContentBase::GetParentFolder);
}

QIcon ContentFolder::Icon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/Resources/content-folder-16.png"));
    icon.addFile(QStringLiteral(":/Resources/content-folder.png"));
    return icon;
}

bool ContentFolder::IsInside(const ContentFolder* other) const
{
    ContentLocker lock(&ContentMutex);
    for (const ContentFolder* folder = this; folder; folder = folder->GetParentFolder()) {
        if (folder == other)
            return true;
    }
    return false;
}

void ContentFolder::Reload(bool) {}

bool ContentFolder::ChildrenRead() const
{
    return true;
}

bool ContentFolder::IsChildrenReadOnly()
{
    return false;
}

bool ContentFolder::IsViewOnly()
{
    return false;
}

int ContentFolder::DefaultAddress()
{
    ContentLocker lock(&ContentMutex);
    return NextFreeAddress(0);
}

int ContentFolder::NextFreeAddress(int start)
{
    ContentLocker lock(&ContentMutex);
    const int maxAddress = MaxAddress();
    QSet<int> used;
    for (int i = 0, count = ChildCount(); i < count; ++i)
        used.insert(Child(i)->GetAddress());
    // 64 bits, so that a range ending at INT_MAX cannot overflow the search.
    qint64 candidate = qMax(start, MinAddress());
    while (candidate <= maxAddress && used.contains(int(candidate)))
        ++candidate;
    return candidate > maxAddress ? -1 : int(candidate);
}

bool ContentFolder::HasNotLoadedContent()
{
    return false;
}

void ContentFolder::LoadContent() {}

QString ContentFolder::NewChildTypeName(int)
{
    return QString();
}

bool ContentFolder::AcceptsFolder(const ContentFolder*)
{
    return true;
}

bool ContentFolder::Conflicts(const QString& name, int)
{
    ContentLocker lock(&ContentMutex);
    for (int i = 0, count = ChildCount(); i < count; ++i) {
        if (Child(i)->GetName() == name)
            return true;
    }
    return false;
}

void ContentFolder::MakeUnique(QString& name, int& address)
{
    ContentLocker lock(&ContentMutex);
    if (!Conflicts(name, address))
        return;
    // Among n children at most n candidates can clash with a name-only test; the bound
    // keeps a folder whose Conflicts never lets go from spinning for ever.
    const int lastNumber = ChildCount() + 2;
    QString candidate;
    for (int number = 2; number <= lastNumber; ++number) {
        candidate = QStringLiteral("%1 (%2)").arg(name, QString::number(number));
        if (!Conflicts(candidate, address))
            break;
    }
    name = candidate;
}

bool ContentFolder::CanMoveContentHere(const Content* content)
{
    if (!content)
        return false;
    ContentLocker lock(&ContentMutex);
    return content->GetTopFolder() == GetTopFolder() && content->GetParentFolder() != this;
}

bool ContentFolder::CanMoveFolderHere(const ContentFolder* folder)
{
    if (!folder)
        return false;
    ContentLocker lock(&ContentMutex);
    return folder->GetTopFolder() == GetTopFolder() && folder->GetParentFolder() != this && !IsInside(folder);
}

bool ContentFolder::CheckModifiable(IFeedback*)
{
    return false;
}

ContentFolderAggregator* ContentFolder::Aggregator()
{
    return nullptr;
}

QList<Content*> ContentFolder::ImportFiles(const QStringList& paths)
{
    QList<Content*> contents;
    for (const QString& path : paths) {
        if (QFileInfo(path).isFile())
            contents += ImportFile(path);
    }
    return contents;
}

QList<Content*> ContentFolder::ImportFile(const QString&)
{
    return {};
}

QList<Content*> ContentFolder::ImportFilesFor(QWidget* parent, const QStringList& paths)
{
    // Each import may run a dialog, during which this folder may go (its fixture leaving
    // the line); the files after that are not imported.
    const QPointer<ContentFolder> self(this);
    QList<Content*> contents;
    for (const QString& path : paths) {
        if (!self)
            break;
        contents += ImportFileFor(parent, path);
    }
    return contents;
}

QList<Content*> ContentFolder::ImportFileFor(QWidget*, const QString&)
{
    return {};
}

bool ContentFolder::Refuse(IFeedback* feedback, const QString& text)
{
    if (feedback)
        feedback->AddString(text, FeedbackError);
    return false;
}
