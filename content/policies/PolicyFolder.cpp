#include "content/policies/PolicyFolder.h"

#include "content/ContentMutex.h"
#include "content/policies/PolicyBase.h"

#include <QFileInfo>

namespace {

// The answers of a folder without a policy.
PolicyBase* DefaultRules()
{
    static PolicyBase* const rules = new PolicyBase;
    return rules;
}

} // namespace

template <class Self>
PolicyFolderT<Self>::PolicyFolderT(PolicyBase* policy, ContentFolder* parent) : ContentFolder(parent), policy_(policy)
{
}

template <class Self>
PolicyBase* PolicyFolderT<Self>::Policy() const
{
    ContentLocker lock(&ContentMutex);
    return policy_;
}

template <class Self>
PolicyBase* PolicyFolderT<Self>::Rules() const
{
    ContentLocker lock(&ContentMutex);
    return policy_ ? policy_ : DefaultRules();
}

template <class Self>
void PolicyFolderT<Self>::SetPolicy(PolicyBase* policy, bool recursive)
{
    ContentLocker lock(&ContentMutex);
    policy_ = policy;
    if (recursive)
        SetChildrenPolicy(policy, true);
}

template <class Self>
void PolicyFolderT<Self>::SetChildrenPolicy(PolicyBase* policy, bool recursive)
{
    ContentLocker lock(&ContentMutex);
    // The count is read again after every child: a library folder may rescan while its
    // policy changes.
    for (int i = 0; i < ChildCount(); ++i) {
        if (auto* folder = qobject_cast<Self*>(Child(i))) {
            folder->SetPolicy(policy, false);
            if (recursive)
                folder->SetChildrenPolicy(policy, true);
        }
    }
}

template <class Self>
bool PolicyFolderT<Self>::IsReadOnly()
{
    ContentLocker lock(&ContentMutex);
    return Rules()->IsReadOnly(this);
}

template <class Self>
int PolicyFolderT<Self>::MinAddress()
{
    ContentLocker lock(&ContentMutex);
    return Rules()->MinAddress(this);
}

template <class Self>
int PolicyFolderT<Self>::MaxAddress()
{
    ContentLocker lock(&ContentMutex);
    return Rules()->MaxAddress(this);
}

template <class Self>
bool PolicyFolderT<Self>::IsChildrenReadOnly()
{
    ContentLocker lock(&ContentMutex);
    return Rules()->IsChildrenReadOnly(this);
}

template <class Self>
bool PolicyFolderT<Self>::IsViewOnly()
{
    ContentLocker lock(&ContentMutex);
    return Rules()->IsViewOnly(this);
}

template <class Self>
int PolicyFolderT<Self>::DefaultAddress()
{
    ContentLocker lock(&ContentMutex);
    return Rules()->DefaultAddress(this);
}

template <class Self>
bool PolicyFolderT<Self>::AcceptsFolder(const ContentFolder* folder)
{
    if (!folder)
        return true;
    ContentLocker lock(&ContentMutex);
    const auto* other = qobject_cast<const Self*>(folder);
    if (!other)
        return false;
    PolicyBase* otherPolicy = other->Rules();
    return Rules()->Accepts(this, typeid(*otherPolicy));
}

template <class Self>
bool PolicyFolderT<Self>::AcceptsContent(const Content* content)
{
    if (!content)
        return false;
    ContentLocker lock(&ContentMutex);
    return Rules()->Accepts(this, typeid(*content));
}

template <class Self>
bool PolicyFolderT<Self>::Conflicts(const QString& name, int address)
{
    return ConflictsFor(nullptr, name, address);
}

template <class Self>
void PolicyFolderT<Self>::MakeUnique(QString& name, int& address)
{
    MakeUniqueFor(nullptr, name, address);
}

template <class Self>
bool PolicyFolderT<Self>::CanMoveContentHere(const Content* content)
{
    if (!content)
        return false;
    ContentLocker lock(&ContentMutex);
    const auto* from = qobject_cast<const Self*>(content->GetParentFolder());
    if (from && from->Rules() != Rules())
        return false;
    return AcceptsContent(content) && ContentFolder::CanMoveContentHere(content);
}

template <class Self>
bool PolicyFolderT<Self>::CanMoveFolderHere(const ContentFolder* folder)
{
    if (!folder)
        return false;
    ContentLocker lock(&ContentMutex);
    // As for contents, it is the folder left behind that must share this folder's policy
    // (a move never converts): the moved folder's own policy, a folder's, is never a
    // package's.
    const auto* from = qobject_cast<const Self*>(folder->GetParentFolder());
    if (from && from->Rules() != Rules())
        return false;
    return AcceptsFolder(folder) && ContentFolder::CanMoveFolderHere(folder);
}

template <class Self>
QList<Content*> PolicyFolderT<Self>::ImportFile(const QString& path)
{
    return Rules()->ImportFile(this, nullptr, QFileInfo(path), true);
}

template <class Self>
QList<Content*> PolicyFolderT<Self>::ImportFileFor(QWidget* parent, const QString& path)
{
    return Rules()->ImportFile(this, parent, QFileInfo(path), false);
}

template <class Self>
bool PolicyFolderT<Self>::ConflictsFor(const ContentBase* child, const QString& name, int address)
{
    ContentLocker lock(&ContentMutex);
    return Rules()->Conflicts(this, child, name, address);
}

template <class Self>
void PolicyFolderT<Self>::MakeUniqueFor(const ContentBase* child, QString& name, int& address)
{
    ContentLocker lock(&ContentMutex);
    Rules()->MakeUnique(this, child, name, address);
}

ContentPolicyFolder::ContentPolicyFolder(PolicyBase* policy, ContentFolder* parent) : PolicyFolderT(policy, parent) {}

MosavraContentPolicyFolder::MosavraContentPolicyFolder(PolicyBase* policy, ContentFolder* parent)
    : PolicyFolderT(policy, parent)
{
}

template class PolicyFolderT<ContentPolicyFolder>;
template class PolicyFolderT<MosavraContentPolicyFolder>;

PolicyBase* PolicyOf(const ContentFolder* folder)
{
    if (const auto* policyFolder = qobject_cast<const ContentPolicyFolder*>(folder))
        return policyFolder->Policy();
    if (const auto* mosavraFolder = qobject_cast<const MosavraContentPolicyFolder*>(folder))
        return mosavraFolder->Policy();
    return nullptr;
}
