#pragma once

#include "content/policies/PolicyFolder.h"
#include "library/common/LibraryLocalFolder.h"
#include "library/common/WholeNameNode.h"

// A node of the Mosavra content library bound to a directory: the twin of
// ContentLibraryLocalFolder for the Mosavra tree. A collage folder, or a package without a
// path of its own, makes its directory when it is missing, so the library's package
// directories come into being on first use.
class MosavraContentLibraryLocalFolder : public LibraryLocalFolderT<MosavraContentPolicyFolder>
{
    Q_OBJECT
public:
    using LibraryLocalFolderT::LibraryLocalFolderT;

protected:
    bool MakesOwnDir() const override { return true; }
};

// A Mosavra library node whose children are folders: the root and the packages. Its name is
// kept whole (a package archive's base name may be longer than the 16 characters of other
// nodes).
class MosavraContentLibraryContainerFolder : public WholeNameNode<LibraryContainerT<MosavraContentLibraryLocalFolder>>
{
    Q_OBJECT
public:
    using WholeNameNode::WholeNameNode;
};
