// The creator's export: one LED image per fixture of the current template, sampled from
// the fitted media and stored as a collage of the Mosavra library.
#include "mosavra/MosavraDialog.h"

#include "content/Content.h"
#include "link/ui/NameDialog.h"
#include "link/ui/OverrideCursorHelper.h"
#include "mosavra/MosavraCollages.h"

#include <QMessageBox>

namespace {

QString SharedNumbersText(const std::vector<int>& shared)
{
    QStringList numbers;
    for (int num : shared)
        numbers << QString::number(num);
    const QString text = shared.size() == 1
                             ? MosavraDialog::tr("More than one fixture has the Mosavra address %1.")
                             : MosavraDialog::tr("More than one fixture has each of the Mosavra addresses %1.");
    return text.arg(numbers.join(QLatin1String(", "))) + QLatin1Char(' ') +
           MosavraDialog::tr("Give each fixture an address of its own (Renumber); nothing was exported.");
}

} // namespace

void MosavraDialog::onCreateMosavra()
{
    const MosavraTypes::Template* t = currentTemplate_;
    if (!t || t->fixtures.empty() || !HasMedia())
        return;
    // A templates file may hold fixtures of one number, whose images would replace each
    // other in the collage.
    if (const std::vector<int> shared = t->SharedNumbers(); !shared.empty()) {
        ReportError(SharedNumbersText(shared));
        return;
    }
    const QString title = t->fixtureType == MosavraTypes::kCindral ? tr("Create Cindral Mosavra")
                                                                   : tr("Create BREVANT Mosavra");
    // Sampled once per export: a retry under another name reuses the images.
    std::vector<std::unique_ptr<Content>> images;
    bool sampled = false;
    QString name = mediaBaseName_;
    for (;;) {
        NameDialog dialog(name, this, title);
        if (dialog.exec() != QDialog::Accepted)
            return;
        name = dialog.GetName();
        if (!sampled) {
            const OverrideCursorHelper wait;
            for (const auto& fixture : t->fixtures) {
                if (auto image = CreateFixtureImage(*fixture, media_.Fitted()))
                    images.push_back(std::move(image));
            }
            sampled = true;
        }
        if (images.empty()) {
            ReportError(tr("No fixture lies on the media: nothing was exported."));
            return;
        }
        if (MosavraCollages::Exists(t->fixtureType, name)) {
            QMessageBox::information(this, tr("Error"), tr("There is already a collage with that name."));
            continue;
        }
        QString error;
        if (MosavraCollages::Create(t->fixtureType, name, images, &error)) {
            QMessageBox::information(this, tr("Success"), tr("Mosavra export complete."));
            return;
        }
        ReportError(error.isEmpty() ? tr("The collage could not be created.") : error);
        return;
    }
}
