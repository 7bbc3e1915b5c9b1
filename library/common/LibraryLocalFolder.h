#pragma once

#include "content/ContentMutex.h"
#include "library/archive/FileLayer.h"
#include "library/common/LibraryNode.h"

#include <algorithm>

class ContentFolder;
class IFeedback;
class PolicyBase;

// A library node bound to a directory, on the policy-folder class `PolicyFolder` of its
// library (ContentPolicyFolder for the user library, MosavraContentPolicyFolder for the
// Mosavra library). Its directory is its parent's directory and its name, never anything
// else: a node whose directory is missing fails its operations with a text rather than
// falling back on the parent's directory (and writing the parent's config.xml).
//
// The node's scan notes what it could read (ReadState). A node that does not hold
// everything its directory holds answers ChildrenRead false, so that no operation takes
// its missing children for absent ones; a node whose listing or config.xml could not be
// read at all also refuses every change and never writes its config.xml, which would put
// the little it read in place of what is there.
template <class PolicyFolder>
class LibraryLocalFolderT : public PolicyFolder
{
public:
    enum class ReadState {
        Whole,     // every entry of the directory, and its config.xml
        Partial,   // not every entry: a file that no image family loads, or no directory
        Unread,    // the directory could not be listed, or its config.xml not be read
    };

    LibraryLocalFolderT(PolicyBase* policy, ContentFolder* parent) : PolicyFolder(policy, parent) {}

    ReadState GetReadState() const
    {
        ContentLocker lock(&ContentMutex);
        return readState_;
    }
    // Lowers the state to `state` (the scan met something it could not read); a state is
    // never raised again.
    void NoteReadState(ReadState state)
    {
        ContentLocker lock(&ContentMutex);
        readState_ = std::max(readState_, state);
    }
    bool ChildrenRead() const override { return GetReadState() == ReadState::Whole; }

    // Where the node's directory is (absolute, "decode#" kept); empty when the node has no
    // place (its parent is not a node of the same library).
    virtual QString DirPath() const
    {
        ContentLocker lock(&ContentMutex);
        const auto* parent = dynamic_cast<const LibraryLocalFolderT*>(this->GetParent());
        return parent ? LibraryNode::ChildPath(parent->DirPath(), this->GetName()) : QString();
    }
    // The directory at DirPath(), whether it exists or not; use FindDir before changing
    // anything in it (without a DirPath this is the working directory).
    FileLayer::Dir Dir() const { return FileLayer::Dir(DirPath()); }
    // Dir() when it exists, after making it when the node makes its own; otherwise, or
    // when the node could not be read, false after an error text to `feedback` (if any).
    bool FindDir(FileLayer::Dir& dir, IFeedback* feedback) const
    {
        if (GetReadState() == ReadState::Unread)
            return LibraryNode::Refuse(feedback, LibraryNode::UnreadText(this));
        const QString path = DirPath();
        if (!path.isEmpty() && MakesOwnDir() && !FileLayer::IsDir(path))
            FileLayer::MakeDir(path);
        return LibraryNode::FindDir(path, this, dir, feedback);
    }

protected:
    // Whether a missing directory of this node is made by FindDir.
    virtual bool MakesOwnDir() const { return false; }

private:
    ReadState readState_ = ReadState::Whole;
};

// A library node whose children are folders (a root, a package), of the local-folder class
// `Local`. Its directory is its own path when it has one (a root, a package archive), else
// its parent's rule; a node with a path of its own never makes its directory.
template <class Local>
class LibraryContainerT : public Local
{
public:
    LibraryContainerT(PolicyBase* policy, ContentFolder* parent, const QString& path)
        : Local(policy, parent), path_(path.isEmpty() ? QString() : FileLayer::AbsolutePath(path))
    {
    }

    // The node's own directory or archive path; empty for a package inside its library.
    QString Path() const { return path_; }
    QString DirPath() const override { return path_.isEmpty() ? Local::DirPath() : path_; }

protected:
    bool MakesOwnDir() const override { return path_.isEmpty() && Local::MakesOwnDir(); }

private:
    const QString path_;
};
