#pragma once

#include "content/ContentFolder.h"

class PolicyBase;

// A folder that does not decide its own rules: it holds one policy (a process-wide
// singleton, not owned) and hands it every question about permissions, addresses, names and
// accepted children. `Self` is the concrete policy-folder class (ContentPolicyFolder for the
// content library and the fixtures, MosavraContentPolicyFolder for the Mosavra library):
// folders of one class compare their policies with each other, never with the other class.
//
// The policy may be changed at run time by the library code (SetPolicy); the folder itself
// never changes it. A null policy answers as PolicyBase does.
//
// Threads: every question holds ContentMutex while it asks the policy, except the import
// pair, which may open dialogs and calls the policy without it.
template <class Self>
class PolicyFolderT : public ContentFolder
{
public:
    PolicyFolderT(PolicyBase* policy, ContentFolder* parent);

    PolicyBase* Policy() const;
    // Makes `policy` the folder's policy; with `recursive`, then SetChildrenPolicy(policy, true).
    virtual void SetPolicy(PolicyBase* policy, bool recursive = false);
    // Gives every child folder of this class `policy` (SetPolicy(policy, false)) and, with
    // `recursive`, their children too. Content items are skipped.
    virtual void SetChildrenPolicy(PolicyBase* policy, bool recursive);

    bool IsReadOnly() override;
    int MinAddress() override;
    int MaxAddress() override;
    bool IsChildrenReadOnly() override;
    bool IsViewOnly() override;
    int DefaultAddress() override;
    // True for null; otherwise whether the policy accepts the kind of folder that `folder`
    // is, told by the type of its policy. A folder that is not of this class is refused.
    bool AcceptsFolder(const ContentFolder* folder) override;
    bool AcceptsContent(const Content* content) override;
    // For a node not yet in the folder: ConflictsFor(null, …) and MakeUniqueFor(null, …).
    bool Conflicts(const QString& name, int address) override;
    void MakeUnique(QString& name, int& address) override;
    // Contents and folders move only between folders that share one policy (a move never
    // converts: converting is a copy), and only where they are accepted and the default rule
    // of ContentFolder allows.
    bool CanMoveContentHere(const Content* content) override;
    bool CanMoveFolderHere(const ContentFolder* folder) override;
    // The policy's quick probe and its real import of one file.
    QList<Content*> ImportFile(const QString& path) override;
    QList<Content*> ImportFileFor(QWidget* parent, const QString& path) override;

    // Whether `name` and `address` would clash with a child other than `child` (the node
    // that is to carry them, so that a child never clashes with itself).
    virtual bool ConflictsFor(const ContentBase* child, const QString& name, int address);
    // Changes `name` and/or `address` until they no longer clash with a child other than
    // `child`.
    virtual void MakeUniqueFor(const ContentBase* child, QString& name, int& address);

private:
    // The policy to ask: the folder's, or the defaults when it has none.
    PolicyBase* Rules() const;

    PolicyBase* policy_;
};

// A policy folder of the content library and of the fixtures.
class ContentPolicyFolder : public PolicyFolderT<ContentPolicyFolder>
{
    Q_OBJECT
public:
    explicit ContentPolicyFolder(PolicyBase* policy, ContentFolder* parent = nullptr);
};

// The policy folder of the Mosavra library tree: the same behaviour, but a separate class,
// so that a cast to one of the two never yields the other.
class MosavraContentPolicyFolder : public PolicyFolderT<MosavraContentPolicyFolder>
{
    Q_OBJECT
public:
    explicit MosavraContentPolicyFolder(PolicyBase* policy, ContentFolder* parent = nullptr);
};

extern template class PolicyFolderT<ContentPolicyFolder>;
extern template class PolicyFolderT<MosavraContentPolicyFolder>;

// The policy of `folder` when it is a policy folder of either class; null otherwise.
PolicyBase* PolicyOf(const ContentFolder* folder);
