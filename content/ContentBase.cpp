#include "content/ContentBase.h"

#include "content/ContentMutex.h"
#include "content/ContentSource.h"

ContentBase::ContentBase(ContentFolder* parent) : parent_(parent) {}

QString ContentBase::CutName(const QString& name, int length)
{
    if (length <= 0)
        return QString();
    if (name.size() <= length)
        return name;
    if (name.at(length - 1).isHighSurrogate() && name.at(length).isLowSurrogate())
        --length;
    return name.left(length);
}

ContentBase::~ContentBase()
{
    // First of all: the node's handle goes, so that no payload can find it from here on,
    // and a clipboard payload that named it is rewritten without it.
    ContentSource::ForgetContent(this);
}

bool ContentBase::IsReadOnly()
{
    return false;
}

QString ContentBase::GetName() const
{
    ContentLocker lock(&ContentMutex);
    return name_;
}

bool ContentBase::SetName(const QString& name)
{
    ContentLocker lock(&ContentMutex);
    const QString oldName = name_;
    name_ = CutName(name);
    emit NameChanged(this, oldName);
    return true;
}

int ContentBase::GetAddress() const
{
    ContentLocker lock(&ContentMutex);
    return address_;
}

bool ContentBase::SetAddress(int address)
{
    ContentLocker lock(&ContentMutex);
    const int oldAddress = address_;
    address_ = address;
    emit AddressChanged(this, oldAddress);
    return true;
}

quint16 ContentBase::GetMosavraID() const
{
    ContentLocker lock(&ContentMutex);
    return mosavraId_;
}

bool ContentBase::SetMosavraID(quint16 id)
{
    ContentLocker lock(&ContentMutex);
    mosavraId_ = id;
    return true;
}

ContentFolder* ContentBase::GetParent() const
{
    ContentLocker lock(&ContentMutex);
    return parent_;
}

ContentFolder* ContentBase::GetParentFolder() const
{
    ContentLocker lock(&ContentMutex);
    return parent_;
}

bool ContentBase::SetParent(ContentFolder* parent)
{
    ContentLocker lock(&ContentMutex);
    parent_ = parent;
    return true;
}
