#pragma once

#include <QFileInfo>
#include <QList>
#include <QString>

#include <typeinfo>

class Content;
class ContentBase;
class ContentFolder;
class QWidget;

// The rule book of a kind of folder: the addresses its children may have, when two children
// clash and how a clash is resolved, whether the folder or its children are read-only or
// only to be viewed, which kinds of children it accepts, how content of the other fixture
// family is converted on the way in, the policy of a new sub-folder and the import of a
// dropped file. Policy folders (content/policies/PolicyFolder.h) ask their policy every such
// question.
//
// Policies hold no state: each is a process-wide singleton that lives until the process
// ends, and folders compare policies by identity. A policy built with a class name puts
// itself into the PolicyRegistry, through which the library finds it again by the name it
// stored on disk; one built without a name (the rule classes inside combinations) stays out.
//
// Threads: every operation may be called from any thread. They read only the folder they are
// given; the policy folders hold ContentMutex around each call, so a policy may call back
// into the folder (ChildCount, Child, NextFreeAddress).
class PolicyBase
{
public:
    explicit PolicyBase(const char* className = nullptr);
    virtual ~PolicyBase();
    PolicyBase(const PolicyBase&) = delete;
    PolicyBase& operator=(const PolicyBase&) = delete;

    // The range of addresses children may have. Defaults: 0 and 255.
    virtual int MinAddress(ContentFolder* folder);
    virtual int MaxAddress(ContentFolder* folder);
    // The address proposed for a new child. Default: the folder's NextFreeAddress(0).
    virtual int DefaultAddress(ContentFolder* folder);
    // Whether `name` and `address` would clash with a child of `folder` other than `child`
    // (the node that is to carry them; null for a node not yet in the folder). Default: false.
    virtual bool Conflicts(ContentFolder* folder, const ContentBase* child, const QString& name, int address);
    // Changes `name` and/or `address` so that they no longer clash; true when it changed
    // anything. Default: nothing changes.
    virtual bool MakeUnique(ContentFolder* folder, const ContentBase* child, QString& name, int& address);
    // Whether `folder` takes a child of this run-time type: a content's own type, or the type
    // of a sub-folder's policy object (a policy answers about kinds of folders by their
    // policies). Default: AcceptsType.
    virtual bool Accepts(ContentFolder* folder, const std::type_info& type);
    virtual bool IsChildrenReadOnly(ContentFolder* folder);
    virtual bool IsViewOnly(ContentFolder* folder);
    virtual bool IsReadOnly(ContentFolder* folder);
    // The policy's own list of accepted types. Default: everything.
    virtual bool AcceptsType(ContentFolder* folder, const std::type_info& type);
    // A new content, owned by the caller, that `folder` can hold in place of `content`
    // (a clone or a conversion to the folder's fixture family); null for no conversion.
    virtual Content* ConvertContent(ContentFolder* folder, const Content* content);
    // The key stored on disk and looked up by PolicyRegistry::Find; "" for the rule classes.
    virtual const char* ClassName() const;
    // The user-visible kind of folder ("New %1" in the menus); "" by default.
    virtual const char* DisplayName() const;
    // Shown after one blank behind a folder's name in the navigation tree; "" by default.
    virtual const char* FamilySuffix() const;
    // Imports one file for `folder`. With `probe` nothing is read: family folders answer a
    // blank image of their family, so that a drop can be tested. Without it the file is read
    // or imported, possibly through dialogs over `parent`. The caller owns the contents.
    // Default: nothing.
    virtual QList<Content*> ImportFile(ContentFolder* folder, QWidget* parent, const QFileInfo& file, bool probe);
    // The policy of a sub-folder of `kind` created in `folder` (kind 0 the ordinary
    // sub-folder; for a root kind 0 is a package of the first fixture family and kind 1 one
    // of the second); null when the folder creates no folder of that kind. Default: this
    // policy for kind 0, null otherwise.
    virtual PolicyBase* NewChildPolicy(ContentFolder* folder, int kind);

private:
    friend class PolicyRegistry;
    PolicyBase* next_ = nullptr;
    bool registered_ = false;
};

// The named policies, found by the class name the library stores on disk.
//
// The eleven named policies of the program are registered before the first Find answers,
// whatever the order of static initialisation. Any thread.
class PolicyRegistry
{
public:
    // The registered policy whose ClassName equals `className` without regard to ASCII
    // letter case, the one registered last first; null when none does (or for null).
    static PolicyBase* Find(const char* className);
    static PolicyBase* Find(const QString& className);
    // Every registered policy, the one registered last first.
    static QList<PolicyBase*> All();

private:
    friend class PolicyBase;
    static void Add(PolicyBase* policy);
    static void Remove(PolicyBase* policy);
};
