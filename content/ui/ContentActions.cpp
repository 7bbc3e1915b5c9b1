#include "content/ui/ContentActions.h"

#include "content/ContentFolder.h"
#include "content/ContentSource.h"
#include "content/operations/ContentDeleteOperation.h"
#include "content/ui/ContentDrop.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "library/PackageTransfer.h"
#include "library/mosavra/MosavraContentLibraryFolder.h"
#include "library/mosavra/MosavraContentLibraryPackage.h"
#include "library/user/ContentLibraryPackage.h"
#include "library/user/ContentLibraryRoot.h"
#include "link/ui/NameDialog.h"
#include "link/ui/NumberDialog.h"
#include "link/ui/OperationDialog.h"
#include "link/ui/Preferences.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>

#include <algorithm>
#include <memory>

namespace {

template <class Folder>
bool IsExactly(const QObject* object)
{
    return object && object->metaObject() == &Folder::staticMetaObject;
}

bool IsMosavraPackage(const ContentFolder* folder)
{
    return IsExactly<BrevantMosavraContentLibraryPackage>(folder) || IsExactly<CindralMosavraContentLibraryPackage>(folder);
}

// The item's folder, when the item may be changed in it.
ContentFolder* WritableParent(ContentBase* item)
{
    if (!item || item->IsReadOnly())
        return nullptr;
    ContentFolder* parent = item->GetParent();
    return parent && !parent->IsChildrenReadOnly() ? parent : nullptr;
}

bool Addressable(ContentBase* item)
{
    ContentFolder* parent = WritableParent(item);
    return parent && parent->MaxAddress() > 0;
}

void Warn(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

bool RunInDialog(QWidget* parent, ContentOperation& operation)
{
    OperationDialog dialog(parent);
    return dialog.Run(&operation);
}

// The filter of the package files a folder is exported to and imported from.
QString PackageFilter(const ContentFolder* folder)
{
    if (IsExactly<BrevantMosavraContentLibraryPackage>(folder))
        return QStringLiteral("BREVANT Collage Package (*.brevantcollage)");
    if (IsExactly<CindralMosavraContentLibraryPackage>(folder))
        return QStringLiteral("Cindral Collage Package (*.cindralcollage)");
    return QStringLiteral("Packages (*.qelpkg)");
}

// The suffix a filter such as "Packages (*.qelpkg)" names, without its dot.
QString FilterSuffix(const QString& filter)
{
    const qsizetype dot = filter.indexOf(QLatin1String("(*."));
    return dot < 0 ? QString() : filter.mid(dot + 3).chopped(1);
}

// `path` with the filter's suffix when the user typed none.
QString WithSuffix(const QString& path, const QString& filter)
{
    const QString suffix = FilterSuffix(filter);
    if (suffix.isEmpty() || path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        return path;
    return path + QLatin1Char('.') + suffix;
}

// Whether the user agrees to replace the existing file `path`.
bool ConfirmReplace(QWidget* parent, const QString& title, const QString& path)
{
    const QString text = QCoreApplication::translate("SelfExecutingAction", "%1 already exists.\nDo you want to replace it?")
                             .arg(QFileInfo(path).fileName());
    return QMessageBox::warning(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

// A copy of the clipboard's data: a paste may change the clipboard (a moved original
// leaves it) while the drop still reads its own data.
std::unique_ptr<QMimeData> ClipboardCopy()
{
    auto copy = std::make_unique<QMimeData>();
    if (const QMimeData* data = QApplication::clipboard()->mimeData()) {
        for (const QString& format : data->formats())
            copy->setData(format, data->data(format));
    }
    return copy;
}

std::function<void(QWidget*)>& MosavraCreator()
{
    static std::function<void(QWidget*)> creator;
    return creator;
}

// Runs an archive transfer with the operation dialog, and tells the user of a failure the
// dialog did not show (a file that is no package, an archive that could not be written).
void RunTransfer(QWidget* parent, const QString& title,
                 const std::function<ArchiveResult(const PackageTransfer::OperationRunner&)>& transfer)
{
    bool shownFailure = false;
    const ArchiveResult result = transfer([&](ContentOperation& operation) {
        const bool succeeded = RunInDialog(parent, operation);
        shownFailure = !succeeded;
        return succeeded;
    });
    if (!result && !shownFailure)
        Warn(parent, title, result.Message());
}

} // namespace

// ---- base ----------------------------------------------------------------------------------

SelfExecutingAction::SelfExecutingAction(const QString& text, QObject* parent) : QAction(text, parent)
{
    connect(this, &QAction::triggered, this, &SelfExecutingAction::execute);
}

QWidget* SelfExecutingAction::parentWidget() const
{
    // A context menu closes as its entry runs: its own parent carries the dialogs.
    auto* widget = qobject_cast<QWidget*>(parent());
    while (widget && widget->windowType() == Qt::Popup)
        widget = widget->parentWidget();
    return widget;
}

void SelfExecutingAction::execute() {}

ContentListAction::ContentListAction(const QString& text, QObject* parent, const QList<ContentBase*>& items)
    : SelfExecutingAction(text, parent)
{
    for (ContentBase* item : items)
        items_.append(item);
}

QList<ContentBase*> ContentListAction::Items() const
{
    QList<ContentBase*> items;
    for (const QPointer<ContentBase>& item : items_) {
        if (item)
            items.append(item);
    }
    return items;
}

// ---- rename and renumber -------------------------------------------------------------------

ContentBaseRenameAction::ContentBaseRenameAction(QObject* parent, ContentBase* item)
    : SelfExecutingAction(tr("Rename"), parent), item_(item)
{
}

bool ContentBaseRenameAction::IsApplicable(ContentBase* item)
{
    return WritableParent(item) != nullptr;
}

void ContentBaseRenameAction::execute()
{
    if (!IsApplicable(item_))
        return;
    NameDialog dialog(item_->GetName(), parentWidget(), text());
    if (dialog.exec() != QDialog::Accepted || !IsApplicable(item_))
        return;
    if (!WritableParent(item_)->ModifyChild(item_, dialog.GetName(), item_->GetAddress(), nullptr))
        Warn(parentWidget(), tr("Rename Failed"), tr("The item could not be renamed"));
}

ContentBaseRenumberAction::ContentBaseRenumberAction(QObject* parent, ContentBase* item)
    : SelfExecutingAction(tr("Edit DMX"), parent), item_(item)
{
}

bool ContentBaseRenumberAction::IsApplicable(ContentBase* item)
{
    return Addressable(item);
}

void ContentBaseRenumberAction::execute()
{
    if (!IsApplicable(item_))
        return;
    // The folder enforces its own range; the dialog only keeps to a DMX address.
    AddressDialog dialog(item_->GetAddress(), parentWidget(), 512);
    if (dialog.exec() != QDialog::Accepted || !IsApplicable(item_))
        return;
    if (!WritableParent(item_)->ModifyChild(item_, item_->GetName(), dialog.GetNumber(), nullptr))
        Warn(parentWidget(), tr("Edit DMX Failed"), tr("The item address could not be changed"));
}

// ---- addresses -----------------------------------------------------------------------------

namespace {

void RunAddressing(ContentListAction* action, int mode)
{
    auto operation = std::make_unique<ContentAddressOperation>();
    operation->SetItems(action->Items());
    operation->SetMode(mode);
    RunInDialog(action->parentWidget(), *operation);
}

} // namespace

ContentBaseAutosetAction::ContentBaseAutosetAction(QObject* parent, bool all, const QList<ContentBase*>& items)
    : ContentListAction(all ? tr("Autoset All DMX") : tr("Autoset DMX"), parent, items)
{
}

bool ContentBaseAutosetAction::IsApplicable(const QList<ContentBase*>& items)
{
    return std::any_of(items.begin(), items.end(), Addressable);
}

void ContentBaseAutosetAction::execute()
{
    if (IsApplicable(Items()))
        RunAddressing(this, ContentAddressOperation::Autoset);
}

ContentBaseResetAction::ContentBaseResetAction(QObject* parent, bool all, const QList<ContentBase*>& items)
    : ContentListAction(all ? tr("Reset All DMX") : tr("Reset DMX"), parent, items)
{
}

bool ContentBaseResetAction::IsApplicable(const QList<ContentBase*>& items)
{
    return std::any_of(items.begin(), items.end(),
                       [](ContentBase* item) { return Addressable(item) && item->GetAddress() > 0; });
}

void ContentBaseResetAction::execute()
{
    if (IsApplicable(Items()))
        RunAddressing(this, ContentAddressOperation::Reset);
}

// ---- clipboard -----------------------------------------------------------------------------

ContentBaseCopyAction::ContentBaseCopyAction(QObject* parent, const QList<ContentBase*>& items)
    : ContentListAction(tr("Copy"), parent, items)
{
}

bool ContentBaseCopyAction::IsApplicable(const QList<ContentBase*>& items)
{
    return std::all_of(items.begin(), items.end(), [](ContentBase* item) {
        ContentFolder* parent = item ? item->GetParent() : nullptr;
        return parent && !parent->IsViewOnly();
    });
}

void ContentBaseCopyAction::execute()
{
    const QList<ContentBase*> items = Items();
    if (IsApplicable(items))
        QApplication::clipboard()->setMimeData(ContentMimeSource(ContentSource::CopiedToClipboard, items).MimeData());
}

ContentBaseCutAction::ContentBaseCutAction(QObject* parent, const QList<ContentBase*>& items)
    : ContentListAction(tr("Cut"), parent, items)
{
}

bool ContentBaseCutAction::IsApplicable(const QList<ContentBase*>& items)
{
    return std::any_of(items.begin(), items.end(), [](ContentBase* item) {
        return WritableParent(item) && !IsExactly<MosavraContentLibraryFolder>(item);
    });
}

void ContentBaseCutAction::execute()
{
    const QList<ContentBase*> items = Items();
    if (IsApplicable(items))
        QApplication::clipboard()->setMimeData(ContentMimeSource(ContentSource::CutToClipboard, items).MimeData());
}

ContentFolderPasteAction::ContentFolderPasteAction(QObject* parent, ContentFolder* folder)
    : SelfExecutingAction(tr("Paste"), parent), folder_(folder)
{
}

bool ContentFolderPasteAction::IsApplicable(ContentFolder* folder)
{
    Qt::DropAction action = Qt::IgnoreAction;
    return folder && !folder->IsChildrenReadOnly() &&
           ContentDrop::CanDrop(folder, QApplication::clipboard()->mimeData(), Qt::CopyAction | Qt::MoveAction,
                                Qt::IgnoreAction, &action);
}

void ContentFolderPasteAction::execute()
{
    if (!folder_ || folder_->IsChildrenReadOnly())
        return;
    const std::unique_ptr<QMimeData> data = ClipboardCopy();
    Qt::DropAction action = Qt::IgnoreAction;
    if (ContentDrop::CanDrop(folder_, data.get(), Qt::CopyAction | Qt::MoveAction, Qt::IgnoreAction, &action))
        ContentDrop::Drop(parentWidget(), folder_, data.get(), action);
}

// ---- delete --------------------------------------------------------------------------------

ContentBaseRemoveAction::ContentBaseRemoveAction(QObject* parent, const QList<ContentBase*>& items)
    : ContentListAction(tr("Delete"), parent, items)
{
}

bool ContentBaseRemoveAction::IsApplicable(const QList<ContentBase*>& items)
{
    return std::any_of(items.begin(), items.end(), [](ContentBase* item) { return WritableParent(item) != nullptr; });
}

void ContentBaseRemoveAction::execute()
{
    const QList<ContentBase*> items = Items();
    if (!IsApplicable(items))
        return;
    const bool one = items.size() == 1;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        parentWidget(), one ? tr("Delete Item") : tr("Delete Items"),
        one ? tr("Are you sure you want to delete this item and ALL items it contains?")
            : tr("Are you sure you want to delete these items and ALL items they contain?"),
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    const QList<ContentBase*> living = Items();
    if (answer != QMessageBox::Ok || living.isEmpty())
        return;
    ContentDeleteOperation deletion;
    deletion.SetItems(living);
    RunInDialog(parentWidget(), deletion);
}

// ---- new folder ----------------------------------------------------------------------------

ContentFolderNewAction::ContentFolderNewAction(QObject* parent, ContentFolder* folder, int kind)
    : SelfExecutingAction(tr("New %1").arg(folder ? folder->NewChildTypeName(kind) : QString()), parent),
      folder_(folder),
      kind_(kind)
{
}

bool ContentFolderNewAction::IsApplicable(ContentFolder* folder, int kind)
{
    if (!folder || folder->IsChildrenReadOnly() || folder->NewChildTypeName(kind).isEmpty())
        return false;
    return !IsMosavraPackage(folder) || bool(MosavraCreator());
}

void ContentFolderNewAction::SetMosavraCreator(std::function<void(QWidget*)> creator)
{
    MosavraCreator() = std::move(creator);
}

std::function<void(QWidget*)> ContentFolderNewAction::InstalledMosavraCreator()
{
    return MosavraCreator();
}

void ContentFolderNewAction::execute()
{
    if (!IsApplicable(folder_, kind_))
        return;
    const QString kindName = folder_->NewChildTypeName(kind_);
    if (IsMosavraPackage(folder_)) {
        // The creator stores its own results. Held by value: it may be replaced meanwhile.
        const std::function<void(QWidget*)> creator = InstalledMosavraCreator();
        creator(parentWidget());
        return;
    }
    NameDialog dialog(QString(), parentWidget(), text());
    if (dialog.exec() != QDialog::Accepted || !IsApplicable(folder_, kind_))
        return;
    if (!folder_->CreateFolder(dialog.GetName(), folder_->DefaultAddress(), kind_, nullptr))
        Warn(parentWidget(), tr("New %1 Failed").arg(kindName), tr("The folder could not be created"));
}

// ---- packages ------------------------------------------------------------------------------

ContentFolderExportAction::ContentFolderExportAction(QObject* parent, ContentFolder* folder)
    : SelfExecutingAction(tr("Export"), parent), folder_(folder)
{
}

bool ContentFolderExportAction::IsApplicable(ContentFolder* folder)
{
    return folder && !folder->HasNotLoadedContent() &&
           (IsExactly<ContentLibraryPackage>(folder) || IsMosavraPackage(folder));
}

void ContentFolderExportAction::execute()
{
    if (!IsApplicable(folder_))
        return;
    const QString filter = PackageFilter(folder_);
    const QString path = AskSaveFileName(parentWidget(), filter, folder_->GetName());
    if (path.isEmpty() || !IsApplicable(folder_) || folder_->ChildCount() == 0)
        return;
    RunTransfer(parentWidget(), tr("Export Failed"), [&](const PackageTransfer::OperationRunner& run) {
        return PackageTransfer::ExportPackage(folder_, path, run);
    });
}

ContentFolderImportAction::ContentFolderImportAction(QObject* parent, ContentFolder* folder)
    : SelfExecutingAction(tr("Import"), parent), folder_(folder)
{
}

bool ContentFolderImportAction::IsApplicable(ContentFolder* folder)
{
    return IsExactly<ContentLibraryRoot>(folder) || IsMosavraPackage(folder);
}

void ContentFolderImportAction::execute()
{
    if (!IsApplicable(folder_))
        return;
    QString chosen;
    {
        ScopedPreferences preferences;
        QString start = preferences->LastPath(QLatin1String(Preferences::kContentFolderImport));
        if (start.isEmpty())
            start = QDir::homePath();
        chosen = QFileDialog::getOpenFileName(parentWidget(), tr("Select package to Import"), start,
                                              PackageFilter(folder_));
        if (chosen.isEmpty())
            return;
        preferences->SetLastDirectory(QLatin1String(Preferences::kContentFolderImport), chosen);
    }
    if (!IsApplicable(folder_))
        return;
    RunTransfer(parentWidget(), tr("Import Failed"), [&](const PackageTransfer::OperationRunner& run) {
        if (auto* package = qobject_cast<MosavraContentLibraryPackage*>(folder_.data()))
            return PackageTransfer::ImportCollages(chosen, package, run);
        return PackageTransfer::ImportPackage(chosen, static_cast<ContentLibraryRoot*>(folder_.data()), run);
    });
}

// ---- GIF -----------------------------------------------------------------------------------

ExportToGIFAction::ExportToGIFAction(QObject* parent, Content* item)
    : SelfExecutingAction(tr("Export to GIF"), parent), item_(item)
{
}

bool ExportToGIFAction::IsApplicable(Content* item)
{
    if (!item || item->IsReadOnly())
        return false;
    ContentFolder* parent = item->GetParent();
    return (!parent || !parent->IsViewOnly()) && (IsExactly<BrevantImage>(item) || IsExactly<CindralImage>(item));
}

void ExportToGIFAction::execute()
{
    if (!item_)
        return;
    const QString chosen = AskSaveFileName(parentWidget(), QStringLiteral("GIF Images (*.gif)"), item_->GetName());
    // An image gone while the file was chosen is no failure to export.
    if (chosen.isEmpty() || !item_)
        return;
    bool exported = false;
    if (auto* brevant = qobject_cast<BrevantImage*>(item_.data()))
        exported = brevant->ExportGIF(chosen, 256, 256);
    else if (auto* cindral = qobject_cast<CindralImage*>(item_.data()))
        exported = cindral->ExportGIF(chosen, 256, 256);
    if (exported)
        return;
    Warn(parentWidget(), tr("Error"), tr("Unable to export image"));
}

// ---- save file -----------------------------------------------------------------------------

QString AskSaveFileName(QWidget* parent, const QString& filter, const QString& proposedName)
{
    ScopedPreferences preferences;
    QString directory = preferences->LastPath(QLatin1String(Preferences::kContentExport));
    if (directory.isEmpty())
        directory = QDir::homePath();
    QFileDialog dialog(parent, QCoreApplication::translate("SelfExecutingAction", "Select a location to save"),
                       directory + QLatin1Char('/') + proposedName, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without the suffix gets it inside the dialog, so that the dialog's own
    // question about replacing a file is asked of the file really written.
    dialog.setDefaultSuffix(FilterSuffix(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = dialog.selectedFiles().constFirst();
    // The dialog adds no suffix to a name that holds a dot ("My.Show"): that file was not
    // asked about yet.
    const QString path = WithSuffix(chosen, filter);
    if (path != chosen && QFileInfo::exists(path) && !ConfirmReplace(parent, dialog.windowTitle(), path))
        return QString();
    preferences->SetLastDirectory(QLatin1String(Preferences::kContentExport), path);
    return path;
}
