#pragma once

#include "library/user/ContentLibraryPackage.h"

// The stock content that ships with the program: one encrypted package archive per fixture
// family in the stock-content directory, read as library packages through "decode#" paths
// and shown read-only ("Stock Content"). Nothing here ever writes: the root, the packages
// and their folders answer read-only, children read-only and view-only, and refuse every
// change themselves.
//
// A missing or unreadable archive gives an empty package, and one that cannot be decoded
// (made with another key) a package of empty folders; either answers ChildrenRead false,
// so that the stock update does not take it for a package without content and leaves the
// fixtures' stock content alone.

// The archive path of the stock package `baseName`: the first directory of the search path
// "StockContent", "/", the base name and ".qelpkg" (without the "decode#" the packages
// read it with). Empty when no "StockContent" directory is registered.
QString StockContentPath(const QString& baseName);

// A stock package: a package archive read with StandardStockContentPolicy.
class StockContentPackage : public ContentLibraryPackageFile
{
    Q_OBJECT
public:
    StockContentPackage(ContentFolder* parent, const QString& name, const QString& baseName);

    bool IsReadOnly() override;
    bool IsChildrenReadOnly() override;
    bool IsViewOnly() override;
};

// "BREVANT": "brevant_stock_content".
class BrevantStockContent : public StockContentPackage
{
    Q_OBJECT
public:
    explicit BrevantStockContent(ContentFolder* parent);
};

// "Cindral": "cindral_stock_content".
class CindralStockContent : public StockContentPackage
{
    Q_OBJECT
public:
    explicit CindralStockContent(ContentFolder* parent);
};

// "Stock Content": the two stock packages, first family first.
class StockContentRoot : public ContentFolder
{
    Q_OBJECT
public:
    // Reads both archives.
    StockContentRoot();
    ~StockContentRoot() override;

    // The process-wide root, built on the first call (GUI thread).
    static StockContentRoot* Instance();
    // Destroys the process-wide root; the next Instance() reads the archives again.
    static void DestroyInstance();

    // The package whose name equals `model` without regard to case; null when none does.
    ContentFolder* PackageByModel(const QString& model) const;

    int ChildCount() const override;
    ContentBase* Child(int index) override;
    const ContentBase* Child(int index) const override;
    // With `deep`, each package's Reload(true).
    void Reload(bool deep) override;
    bool IsReadOnly() override;
    bool IsChildrenReadOnly() override;
    bool IsViewOnly() override;
    int MinAddress() override;
    int MaxAddress() override;
    bool AcceptsContent(const Content* content) override;
    bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) override;
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
    bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) override;
    bool MoveHere(ContentBase* child, IFeedback* feedback) override;
    bool RemoveChild(ContentBase* child, IFeedback* feedback) override;

private:
    QList<StockContentPackage*> packages_;
};
