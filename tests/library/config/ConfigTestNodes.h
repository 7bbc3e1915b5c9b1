#pragma once

#include "content/policies/PolicyBase.h"
#include "content/policies/PolicyFolder.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "library/config/LibraryConfig.h"
#include "tests/content/MemoryFolders.h"

#include <memory>
#include <type_traits>
#include <vector>

// A library node for the tests: a policy folder of class `Base` (ContentPolicyFolder for the
// user library, MosavraContentPolicyFolder for the Mosavra one) bound to a directory, which
// owns its children and reads and writes its config.xml as the library's node classes do:
// LoadConfig and SaveConfig through LibraryConfig, the root with its stored version, a
// recursive save that goes on to the children, and a scan that fills the node from its
// directory and then reads its file. Change operations are refused: the tests set trees up
// directly.
template <class Base>
class ConfigNode : public Base
{
public:
    using Form = LibraryConfig::Form;

    // A node without parent bound to `dirPath`: a root, or a package read on its own (a
    // package file, a stock package).
    ConfigNode(Form form, PolicyBase* policy, const QString& name, const QString& dirPath)
        : Base(policy, nullptr), form_(form), dirPath_(dirPath)
    {
        this->SetName(name);
    }
    // A package (below a root) or folder (below a package), in its parent's directory.
    ConfigNode(PolicyBase* policy, const QString& name, ConfigNode* parent)
        : Base(policy, parent), form_(ChildForm(parent->form_)), parent_(parent)
    {
        this->SetName(name);
    }

    Form GetForm() const { return form_; }
    int Version() const { return version_; }

    FileLayer::Dir Dir() const
    {
        return parent_ ? FileLayer::Dir(parent_->Dir().absoluteFilePath(this->GetName())) : FileLayer::Dir(dirPath_);
    }

    // Set-up: a sub-folder with `policy`, or with this node's NewChildPolicy(0) when null.
    ConfigNode* AddFolder(const QString& name, int address = 0, PolicyBase* policy = nullptr)
    {
        if (!policy)
            policy = ChildPolicy();
        auto folder = std::make_unique<ConfigNode>(policy, name, this);
        folder->SetAddress(address);
        ConfigNode* added = folder.get();
        children_.push_back(std::move(folder));
        return added;
    }
    ContentBase* AddItem(const QString& name, int address = 0, quint16 mosavraId = 0)
    {
        auto item = std::make_unique<MemoryContent>(name, address, this);
        item->SetMosavraID(mosavraId);
        children_.push_back(std::move(item));
        return children_.back().get();
    }

    ArchiveResult LoadConfig() { return LibraryConfig::LoadConfig(this, Dir(), form_ == Form::Root ? &version_ : nullptr); }
    ArchiveResult SaveConfig(bool recursive = false)
    {
        ArchiveResult result = LibraryConfig::SaveConfig(form_, this, Dir());
        if (recursive) {
            for (auto& child : children_) {
                if (auto* folder = dynamic_cast<ConfigNode*>(child.get())) {
                    const ArchiveResult saved = folder->SaveConfig(true);
                    if (result && !saved)
                        result = saved;
                }
            }
        }
        return result;
    }

    // Fills an empty node from its directory, as the library's scans do: sub-directories
    // become folders (scanned in turn), "*.bvi" and "*.cdli" files images of the family
    // whose file they are; then the node's own file, and for a root the version rule.
    void Scan()
    {
        const FileLayer::Dir dir = Dir();
        if (form_ == Form::Root || form_ == Form::Package) {
            for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
                AddFolder(name)->Scan();
        } else {
            const QStringList filters{QStringLiteral("*.bvi"), QStringLiteral("*.cdli")};
            for (const QString& name : dir.entryList(filters, QDir::Files, QDir::Name)) {
                if (!AddImage<BrevantImage>(dir.absoluteFilePath(name)))
                    AddImage<CindralImage>(dir.absoluteFilePath(name));
            }
        }
        LoadConfig();
        if (form_ == Form::Root)
            LibraryConfig::ApplyVersionRule(version_, [this] { return SaveConfig(true); });
    }

    int ChildCount() const override { return int(children_.size()); }
    ContentBase* Child(int index) override { return children_.at(size_t(index)).get(); }
    const ContentBase* Child(int index) const override { return children_.at(size_t(index)).get(); }
    bool CreateFolder(const QString&, int, int, IFeedback*) override { return false; }
    bool AddChild(QList<ContentBase*>, IFeedback*) override { return false; }
    bool ModifyChild(ContentBase*, const QString&, int, IFeedback*) override { return false; }
    bool MoveHere(ContentBase*, IFeedback*) override { return false; }
    bool RemoveChild(ContentBase*, IFeedback*) override { return false; }

private:
    static Form ChildForm(Form parent)
    {
        if (parent == Form::Root)
            return Form::Package;
        return std::is_same_v<Base, MosavraContentPolicyFolder> ? Form::Collage : Form::Folder;
    }

    PolicyBase* ChildPolicy()
    {
        PolicyBase* own = this->Policy();
        return own ? own->NewChildPolicy(this, 0) : nullptr;
    }

    template <class Image>
    bool AddImage(const QString& path)
    {
        auto image = std::make_unique<Image>(this);
        if (!image->Load(path))
            return false;
        image->SetName(FileLayer::BaseName(path));
        children_.push_back(std::move(image));
        return true;
    }

    const Form form_;
    const QString dirPath_;
    ConfigNode* const parent_ = nullptr;
    int version_ = 0;
    std::vector<std::unique_ptr<ContentBase>> children_;
};

using UserNode = ConfigNode<ContentPolicyFolder>;
using MosavraNode = ConfigNode<MosavraContentPolicyFolder>;
