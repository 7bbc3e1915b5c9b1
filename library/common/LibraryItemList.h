#pragma once

#include "content/Content.h"
#include "content/ContentMutex.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "library/LibraryNames.h"
#include "library/common/LibraryNode.h"
#include "link/feedback/Feedback.h"

#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

// The items of one library folder and the disk work behind them: one LED image file per
// item in the folder's directory. Shared by the user library's folders and the Mosavra
// library's collage folders (`Node`: ContentLibraryFolder or MosavraContentLibraryFolder).
//
// Each item remembers the file it was found in or written to, so that every operation uses
// that very file: an item is named after its file less the last extension ("a.b.bvi" is
// "a.b"), whatever the case of the extension.
//
// `Node` gives: FindDir(dir, feedback), SaveConfig(), ConflictsFor, Conflicts, MinAddress,
// MaxAddress, AcceptsContent, PrepareItem(item) (a step before an item's file is written),
// and the folder signals. The change operations follow content/ContentFolder.h: a refusal is
// one error text and false with nothing changed; a change carried out finishes at once.
//
// Threads: every member runs under ContentMutex.
template <class Node>
class LibraryItemList
{
public:
    explicit LibraryItemList(Node& node) : node_(node) {}
    ~LibraryItemList()
    {
        for (const Item& item : items_)
            delete item.content;
    }
    LibraryItemList(const LibraryItemList&) = delete;
    LibraryItemList& operator=(const LibraryItemList&) = delete;

    int Count() const
    {
        ContentLocker lock(&ContentMutex);
        return int(items_.size());
    }
    Content* At(int index) const
    {
        ContentLocker lock(&ContentMutex);
        return index >= 0 && index < items_.size() ? items_.at(index).content : nullptr;
    }
    QList<Content*> Contents() const
    {
        ContentLocker lock(&ContentMutex);
        QList<Content*> contents;
        for (const Item& item : items_)
            contents.append(item.content);
        return contents;
    }
    // The file of `item` in the node's directory; empty when it is not one of the items.
    QString FileOf(const ContentBase* item) const
    {
        ContentLocker lock(&ContentMutex);
        const int index = IndexOf(item);
        return index < 0 ? QString() : items_.at(index).file;
    }

    // Fills the empty list from the directory: every "*.bvi" and "*.cdli" file that an
    // image family can load, the family its extension names tried first. Files that no
    // family loads (which leave the node's read state Partial), and files whose name no item
    // can carry, stay on disk unlisted.
    void Scan()
    {
        ContentLocker lock(&ContentMutex);
        FileLayer::Dir dir;
        if (!LibraryNode::ListableDir(node_, dir))
            return;
        const QStringList files =
            dir.entryList({QStringLiteral("*.bvi"), QStringLiteral("*.cdli")}, QDir::Files, QDir::Name);
        for (const QString& file : files) {
            const QString name = QFileInfo(file).completeBaseName();
            if (!LibraryNames::KeptWhole(name))
                continue;
            std::unique_ptr<Content> image = LoadImage(dir.absoluteFilePath(file));
            if (!image) {
                node_.NoteReadState(Node::ReadState::Partial);
                continue;
            }
            image->SetName(name);
            items_.append({image.release(), file});
        }
    }

    // Adds the items, all or none. An item replaces the items of its name (whatever their
    // family), but only once every new file is written: a file that cannot be written undoes
    // this call's files and leaves the folder and the caller's items as they were.
    bool Add(const QList<ContentBase*>& children, IFeedback* feedback)
    {
        ContentLocker lock(&ContentMutex);
        QList<Content*> added;
        for (ContentBase* child : children) {
            auto* item = qobject_cast<Content*>(child);
            const QString name = child ? child->GetName() : QString();
            if (!item || !node_.AcceptsContent(item))
                return LibraryNode::Refuse(feedback, QStringLiteral("%1 can't be added to %2").arg(name, node_.GetName()));
            const QString problem = LibraryNames::Problem(name);
            if (!problem.isEmpty())
                return LibraryNode::Refuse(feedback, problem);
            added.append(item);
        }
        FileLayer::Dir dir;
        if (!node_.FindDir(dir, feedback))
            return false;

        QList<int> addresses;
        for (Content* item : added) {
            addresses.append(item->GetAddress());
            node_.PrepareItem(item);
        }
        // The bytes each file written by this call held before (none for a new file), to
        // put back. A save that fails leaves its file as it was.
        QMap<QString, std::optional<QByteArray>> originals;
        QStringList files;
        for (Content* item : added) {
            const QString file = item->GetName() + QLatin1Char('.') + item->FileExtension();
            const QString path = dir.absoluteFilePath(file);
            const std::optional<QByteArray> before = originals.contains(file) ? std::nullopt : ReadWhole(path);
            if (!item->Save(path)) {
                Restore(dir, originals);
                for (int i = 0; i < added.size(); ++i)
                    added.at(i)->SetAddress(addresses.at(i));
                return LibraryNode::Refuse(feedback, QStringLiteral("Can't save %1").arg(item->GetName()));
            }
            if (!originals.contains(file))
                originals.insert(file, before);
            files.append(file);
        }

        for (int i = 0; i < added.size(); ++i) {
            Content* item = added.at(i);
            DropNamed(dir, item->GetName(), files.at(i), feedback);
            LibraryNode::MoveToOwnerThread(item, &node_);
            item->SetParent(&node_);
            items_.append({item, files.at(i)});
            emit node_.ContentAdded(&node_, item);
        }
        return LibraryNode::Conclude(feedback, node_.SaveConfig());
    }

    bool Remove(ContentBase* child, IFeedback* feedback)
    {
        ContentLocker lock(&ContentMutex);
        const int index = IndexOf(child);
        if (index < 0)
            return NotHere(child, feedback);
        FileLayer::Dir dir;
        if (!node_.FindDir(dir, feedback))
            return false;
        const QString path = dir.absoluteFilePath(items_.at(index).file);
        if (!FileLayer::IsFile(path))
            return LibraryNode::Refuse(feedback, QStringLiteral("File not found"));
        if (!FileLayer::Remove(path))
            return LibraryNode::Refuse(feedback, QStringLiteral("Can't delete file"));
        Content* content = items_.takeAt(index).content;
        emit node_.ContentRemoved(&node_, content);
        content->deleteLater();
        return LibraryNode::Conclude(feedback, node_.SaveConfig());
    }

    // Range and clashes are tested before anything on disk changes.
    bool Modify(ContentBase* child, const QString& newName, int address, IFeedback* feedback)
    {
        ContentLocker lock(&ContentMutex);
        const int index = IndexOf(child);
        if (index < 0)
            return NotHere(child, feedback);
        const QString name = LibraryNames::Kept(newName);
        const QString problem = LibraryNames::Problem(name);
        if (!problem.isEmpty())
            return LibraryNode::Refuse(feedback, problem);
        if (address != 0 && (address < node_.MinAddress() || address > node_.MaxAddress()))
            return LibraryNode::Refuse(feedback, LibraryNode::AddressOutOfRangeText());
        if (node_.ConflictsFor(child, name, address))
            return LibraryNode::Refuse(feedback, LibraryNode::ConflictText());
        FileLayer::Dir dir;
        if (!node_.FindDir(dir, feedback))
            return false;
        Item& item = items_[index];
        if (name != item.content->GetName()) {
            const QString file = name + QLatin1Char('.') + Extension(item.file);
            if (!RenameFile(dir, item.file, dir, file))
                return LibraryNode::Refuse(feedback, QStringLiteral("Can't rename file"));
            item.file = file;
        }
        item.content->SetName(name);
        item.content->SetAddress(address);
        return LibraryNode::Conclude(feedback, node_.SaveConfig());
    }

    // Moves an item of `source` (another folder of the same kind) in, file and all.
    bool MoveIn(ContentBase* child, LibraryItemList* source, IFeedback* feedback)
    {
        ContentLocker lock(&ContentMutex);
        auto* item = qobject_cast<Content*>(child);
        if (!item || !source || source == this || IndexOf(item) >= 0 || source->IndexOf(item) < 0) {
            return LibraryNode::Refuse(feedback, QStringLiteral("%1 can't be moved to %2")
                                                     .arg(child ? child->GetName() : QString(), node_.GetName()));
        }
        const int address = item->GetAddress();
        if (address != 0 && (address < node_.MinAddress() || address > node_.MaxAddress()))
            return LibraryNode::Refuse(feedback, LibraryNode::AddressOutOfRangeText());
        if (node_.Conflicts(item->GetName(), address))
            return LibraryNode::Refuse(feedback, LibraryNode::ConflictText());
        FileLayer::Dir from;
        FileLayer::Dir to;
        if (!source->node_.FindDir(from, feedback) || !node_.FindDir(to, feedback))
            return false;
        const QString file = source->FileOf(item);
        if (!RenameFile(from, file, to, file))
            return LibraryNode::Refuse(feedback, QStringLiteral("Can't move file"));
        ArchiveResult sourceSaved = ArchiveResult::Success();
        source->Take(item, &sourceSaved);
        LibraryNode::MoveToOwnerThread(item, &node_);
        item->SetParent(&node_);
        items_.append({item, file});
        emit node_.ContentAdded(&node_, item);
        return LibraryNode::Conclude(feedback, LibraryNode::FirstFailure(sourceSaved, node_.SaveConfig()));
    }

    // Takes `child` out without touching its file (it is the caller's to move); the rest
    // of the folder's file is rewritten into `saved`.
    bool Take(ContentBase* child, ArchiveResult* saved)
    {
        ContentLocker lock(&ContentMutex);
        const int index = IndexOf(child);
        if (index < 0)
            return false;
        Content* content = items_.takeAt(index).content;
        emit node_.ContentRemoved(&node_, content);
        content->SetParent(nullptr);
        const ArchiveResult result = node_.SaveConfig();
        if (saved)
            *saved = result;
        return true;
    }

    void SortByAddress()
    {
        ContentLocker lock(&ContentMutex);
        std::stable_sort(items_.begin(), items_.end(),
                         [](const Item& a, const Item& b) { return a.content->GetAddress() < b.content->GetAddress(); });
    }

    // Gives each item the name `nameFor` answers, renaming its file in `dir` first. An item
    // whose file cannot be renamed keeps its old name; the names of those items are answered.
    QStringList RenameAll(const FileLayer::Dir& dir, const std::function<QString(const Content*)>& nameFor)
    {
        ContentLocker lock(&ContentMutex);
        QStringList failed;
        for (Item& item : items_) {
            const QString name = nameFor(item.content);
            if (name == item.content->GetName())
                continue;
            const QString file = name + QLatin1Char('.') + Extension(item.file);
            if (!RenameFile(dir, item.file, dir, file)) {
                failed.append(item.content->GetName());
                continue;
            }
            item.file = file;
            item.content->SetName(name);
        }
        return failed;
    }

private:
    struct Item {
        Content* content;
        QString file;
    };

    int IndexOf(const ContentBase* child) const
    {
        for (int i = 0; i < items_.size(); ++i) {
            if (items_.at(i).content == child)
                return i;
        }
        return -1;
    }

    bool NotHere(const ContentBase* child, IFeedback* feedback) const
    {
        return LibraryNode::Refuse(
            feedback, QStringLiteral("%1 is not in %2").arg(child ? child->GetName() : QString(), node_.GetName()));
    }

    static QString Extension(const QString& file) { return file.section(QLatin1Char('.'), -1); }

    // An image of the family the file's extension names, or else of the other family;
    // null when neither loads the file.
    std::unique_ptr<Content> LoadImage(const QString& path)
    {
        const bool secondFirst = Extension(path).compare(QLatin1String("cdli"), Qt::CaseInsensitive) == 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::unique_ptr<Content> image;
            if ((attempt == 0) == secondFirst)
                image = std::make_unique<CindralImage>(&node_);
            else
                image = std::make_unique<BrevantImage>(&node_);
            if (image->Load(path))
                return image;
        }
        return nullptr;
    }

    // Renames without ever replacing a file that is there already.
    static bool RenameFile(const FileLayer::Dir& fromDir, const QString& from, const FileLayer::Dir& toDir,
                           const QString& to)
    {
        const QString source = fromDir.absoluteFilePath(from);
        const QString target = toDir.absoluteFilePath(to);
        if (source != target && FileLayer::Exists(target))
            return false;
        return FileLayer::Rename(source, target);
    }

    static std::optional<QByteArray> ReadWhole(const QString& path)
    {
        if (!FileLayer::IsFile(path))
            return std::nullopt;
        FileLayer::File file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }

    static void Restore(const FileLayer::Dir& dir, const QMap<QString, std::optional<QByteArray>>& originals)
    {
        for (auto it = originals.begin(); it != originals.end(); ++it) {
            const QString path = dir.absoluteFilePath(it.key());
            if (!it.value()) {
                FileLayer::Remove(path);
                continue;
            }
            FileLayer::File file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(*it.value()) != it.value()->size() || !file.Close())
                qWarning("\"%s\" could not be put back as it was", qPrintable(path));
        }
    }

    // Drops the items named `name`, which an item written to `file` replaces: their nodes go,
    // and so do their files unless the new item took that very file.
    void DropNamed(const FileLayer::Dir& dir, const QString& name, const QString& file, IFeedback* feedback)
    {
        for (int i = int(items_.size()) - 1; i >= 0; --i) {
            if (items_.at(i).content->GetName() != name)
                continue;
            const Item old = items_.takeAt(i);
            if (old.file != file && !FileLayer::Remove(dir.absoluteFilePath(old.file)) && feedback) {
                feedback->AddString(QStringLiteral("Can't delete file %1").arg(old.file), FeedbackWarning);
            }
            emit node_.ContentRemoved(&node_, old.content);
            old.content->deleteLater();
        }
    }

    Node& node_;
    QList<Item> items_;
};
