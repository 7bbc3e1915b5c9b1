#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class ContentFolder;

// Any node of a content tree: a content item (Content) or a folder (ContentFolder).
//
// A node has a name of at most 16 characters, an address (its number inside its folder,
// the index a fixture selects it by; 0 means none), a 16-bit Mosavra identifier and the
// folder that holds it. The QObject has no QObject parent: trees are not held together by
// QObject parenting, and the folder class that created a node decides its lifetime.
//
// Threads: every operation takes ContentMutex for its whole duration, and NameChanged and
// AddressChanged are emitted while it is held (see content/ContentMutex.h).
//
// Destruction removes the node from any content payload this process has on the
// clipboard (ContentSource::ForgetContent) before its memory goes.
class ContentBase : public QObject
{
    Q_OBJECT
public:
    // Names longer than this are cut by SetName.
    static constexpr int kMaxNameLength = 16;
    // The first `length` characters of `name` (UTF-16 units), one fewer where the cut would
    // split a surrogate pair: half a character can be written to no file.
    static QString CutName(const QString& name, int length = kMaxNameLength);

    // `parent` only records the node's place; adding the node to the parent's children
    // is the concrete folder's business.
    explicit ContentBase(ContentFolder* parent = nullptr);
    ~ContentBase() override;

    virtual bool IsReadOnly();
    virtual QString GetName() const;
    // Stores CutName(name) and emits NameChanged with the old name.
    virtual bool SetName(const QString& name);
    virtual int GetAddress() const;
    // Stores the address without a range check (ranges are the folder's business) and
    // emits AddressChanged with the old address.
    virtual bool SetAddress(int address);
    virtual quint16 GetMosavraID() const;
    // Stores the identifier; no signal.
    virtual bool SetMosavraID(quint16 id);
    virtual ContentFolder* GetParent() const;
    // The same field as GetParent; kept as its own virtual so a folder kind can present
    // another parent for the "folder" walks (GetTopFolder, IsInside).
    virtual ContentFolder* GetParentFolder() const;
    // Records the holding folder; no signal.
    virtual bool SetParent(ContentFolder* parent);
    // The topmost folder reached through GetParent (a folder with no parent is its own root).
    virtual ContentFolder* GetRoot() const = 0;
    // The topmost folder reached through GetParentFolder.
    virtual ContentFolder* GetTopFolder() const = 0;
    virtual QIcon Icon() = 0;

signals:
    void NameChanged(const ContentBase* content, const QString& oldName);
    void AddressChanged(const ContentBase* content, int oldAddress);

private:
    QString name_;
    int address_ = 0;
    quint16 mosavraId_ = 0;
    ContentFolder* parent_ = nullptr;
};
