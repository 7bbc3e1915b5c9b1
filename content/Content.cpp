#include "content/Content.h"

#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "platform/system/Random.h"

Content::Content(ContentFolder* parent) : ContentBase(parent), key_(GenerateRandom()) {}

ContentFolder* Content::GetRoot() const
{
    ContentLocker lock(&ContentMutex);
    ContentFolder* parent = GetParent();
    return parent ? parent->GetRoot() : nullptr;
}

ContentFolder* Content::GetTopFolder() const
{
    ContentLocker lock(&ContentMutex);
    ContentFolder* parent = GetParentFolder();
    return parent ? parent->GetTopFolder() : nullptr;
}

QIcon Content::Icon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/Resources/content-16.png"));
    icon.addFile(QStringLiteral(":/Resources/content-unknown.png"));
    return icon;
}

quint32 Content::Key() const
{
    ContentLocker lock(&ContentMutex);
    return key_;
}

bool Content::IsNotLoaded() const
{
    return false;
}

void Content::SetKey(quint32 key)
{
    ContentLocker lock(&ContentMutex);
    key_ = key;
}

void Content::DrawNewKey()
{
    SetKey(GenerateRandom());
}
