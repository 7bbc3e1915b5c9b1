#include "library/stock/StockContentRoot.h"

#include "content/policies/NamedPolicies.h"
#include "library/archive/ArchivePaths.h"
#include "library/common/LibraryRoots.h"

#include <QDir>

namespace {

LibraryRoots::Holder<StockContentRoot>& Root()
{
    static LibraryRoots::Holder<StockContentRoot> root;
    return root;
}

// The path a stock package reads: its archive through "decode#", so that every member is
// decrypted; empty without a stock-content directory.
QString DecodedPath(const QString& baseName)
{
    const QString path = StockContentPath(baseName);
    return path.isEmpty() ? QString() : ArchivePaths::kDecodePrefix + path;
}

QString NotModifiableText()
{
    return QString::fromLatin1(ContentFolder::kNotModifiableText);
}

} // namespace

QString StockContentPath(const QString& baseName)
{
    const QStringList dirs = QDir::searchPaths(QStringLiteral("StockContent"));
    if (dirs.isEmpty())
        return QString();
    return dirs.first() + QLatin1Char('/') + baseName + QStringLiteral(".qelpkg");
}

StockContentPackage::StockContentPackage(ContentFolder* parent, const QString& name, const QString& baseName)
    : ContentLibraryPackageFile(StandardStockContentPolicy::Instance(), parent, name, DecodedPath(baseName))
{
}

bool StockContentPackage::IsReadOnly()
{
    return true;
}

bool StockContentPackage::IsChildrenReadOnly()
{
    return true;
}

bool StockContentPackage::IsViewOnly()
{
    return true;
}

BrevantStockContent::BrevantStockContent(ContentFolder* parent)
    : StockContentPackage(parent, QStringLiteral("BREVANT"), QStringLiteral("brevant_stock_content"))
{
}

CindralStockContent::CindralStockContent(ContentFolder* parent)
    : StockContentPackage(parent, QStringLiteral("Cindral"), QStringLiteral("cindral_stock_content"))
{
}

StockContentRoot::StockContentRoot()
{
    ContentLocker lock(&ContentMutex);
    SetName(QStringLiteral("Stock Content"));
    packages_.append(new BrevantStockContent(this));
    packages_.append(new CindralStockContent(this));
}

StockContentRoot::~StockContentRoot()
{
    qDeleteAll(packages_);
}

StockContentRoot* StockContentRoot::Instance()
{
    return Root().Get();
}

void StockContentRoot::DestroyInstance()
{
    Root().Destroy();
}

ContentFolder* StockContentRoot::PackageByModel(const QString& model) const
{
    ContentLocker lock(&ContentMutex);
    for (StockContentPackage* package : packages_) {
        if (package->GetName().compare(model, Qt::CaseInsensitive) == 0)
            return package;
    }
    return nullptr;
}

int StockContentRoot::ChildCount() const
{
    ContentLocker lock(&ContentMutex);
    return int(packages_.size());
}

ContentBase* StockContentRoot::Child(int index)
{
    ContentLocker lock(&ContentMutex);
    return packages_.value(index);
}

const ContentBase* StockContentRoot::Child(int index) const
{
    ContentLocker lock(&ContentMutex);
    return packages_.value(index);
}

void StockContentRoot::Reload(bool deep)
{
    ContentLocker lock(&ContentMutex);
    if (deep) {
        for (StockContentPackage* package : packages_)
            package->Reload(true);
    }
}

bool StockContentRoot::IsReadOnly()
{
    return true;
}

bool StockContentRoot::IsChildrenReadOnly()
{
    return true;
}

bool StockContentRoot::IsViewOnly()
{
    return true;
}

int StockContentRoot::MinAddress()
{
    return 0;
}

int StockContentRoot::MaxAddress()
{
    return 0;
}

bool StockContentRoot::AcceptsContent(const Content*)
{
    return false;
}

bool StockContentRoot::CreateFolder(const QString&, int, int, IFeedback* feedback)
{
    return Refuse(feedback, NotModifiableText());
}

bool StockContentRoot::AddChild(QList<ContentBase*>, IFeedback* feedback)
{
    return Refuse(feedback, NotModifiableText());
}

bool StockContentRoot::ModifyChild(ContentBase*, const QString&, int, IFeedback* feedback)
{
    return Refuse(feedback, NotModifiableText());
}

bool StockContentRoot::MoveHere(ContentBase*, IFeedback* feedback)
{
    return Refuse(feedback, NotModifiableText());
}

bool StockContentRoot::RemoveChild(ContentBase*, IFeedback* feedback)
{
    return Refuse(feedback, NotModifiableText());
}
