#pragma once

#include "library/common/LibraryNode.h"
#include "library/config/LibraryConfig.h"

// A library node's own config.xml, read and written in the node's directory (FindDir).
namespace NodeConfig {

// Reads the node's file and applies it (LibraryConfig::LoadConfig); false when the
// directory or the file is missing or unreadable. A file that is there but cannot be read
// leaves the node unread (LibraryLocalFolderT::ReadState): what it says is not known, so
// it must not be written over.
template <class Node>
bool Load(Node* node, int* version = nullptr)
{
    ContentLocker lock(&ContentMutex);
    FileLayer::Dir dir;
    if (!node->FindDir(dir, nullptr))
        return false;
    if (!LibraryConfig::HasConfig(dir))
        return false;
    const ArchiveResult read = LibraryConfig::LoadConfig(node, dir, version);
    if (!read) {
        node->NoteReadState(Node::ReadState::Unread);
        qWarning("%s", qPrintable(read.Message()));
    }
    return read.Ok();
}

// Writes the node's file in `form` (LibraryConfig::SaveConfig); the real outcome. A node
// that could not be read keeps its file as it is.
template <class Node>
ArchiveResult Save(Node* node, LibraryConfig::Form form)
{
    ContentLocker lock(&ContentMutex);
    if (node->GetReadState() == Node::ReadState::Unread)
        return ArchiveResult::Failure(LibraryNode::UnreadText(node));
    FileLayer::Dir dir;
    if (!node->FindDir(dir, nullptr))
        return ArchiveResult::Failure(LibraryNode::MissingDirText(node));
    return LibraryConfig::SaveConfig(form, node, dir);
}

// Tells the warning output about a file that could not be written where no caller hears
// it (a rename, or a move out of a node, made on another node's behalf).
void Warn(const ArchiveResult& saved);

} // namespace NodeConfig
