#pragma once

#include "content/policies/PolicyFolder.h"
#include "library/common/LibraryLocalFolder.h"

// A node of the user content library bound to a directory: the root, a package or a folder.
// The directory tree gives the names (a package or folder is the directory of its name);
// the config.xml in each directory gives addresses and policies (library/config).
//
// Threads: as every content node, under ContentMutex; the library's nodes live on the GUI
// thread, and nodes that a worker thread makes (an operation's CreateFolder, AddChild) are
// moved there before they are attached.
class ContentLibraryLocalFolder : public LibraryLocalFolderT<ContentPolicyFolder>
{
    Q_OBJECT
public:
    using LibraryLocalFolderT::LibraryLocalFolderT;
};

// A user library node whose children are folders: the root and the packages.
class ContentLibraryContainerFolder : public LibraryContainerT<ContentLibraryLocalFolder>
{
    Q_OBJECT
public:
    using LibraryContainerT::LibraryContainerT;
};
