// The creator's templates, fixtures and settings: what the template list, the canvas's
// fixture gestures and the Settings group change.
#include "mosavra/MosavraDialog.h"

#include "images/LEDImageImporter.h"
#include "link/ui/OverrideCursorHelper.h"
#include "mosavra/FixtureSampling.h"
#include "mosavra/MosavraTemplateListModel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

using MosavraTypes::Fixture;
using MosavraTypes::Template;

namespace {

// A fixture whose size differs from the zoom's by this much or more takes the zoom's.
constexpr double kZoomTolerance = 1e-11;

double ZoomSide(int zoom)
{
    return zoom / 256.0;
}

// A slider shows a template's value as near as its range allows (before media the Sample
// Size range is 10 only); the template takes the slider's value only once the user has
// moved it elsewhere, so a value the range cannot show yet is kept, not cut.
void TakeMovedValue(const QSlider* slider, int& kept)
{
    if (slider->value() != std::clamp(kept, slider->minimum(), slider->maximum()))
        kept = slider->value();
}

} // namespace

void MosavraDialog::addFixture()
{
    Template* t = currentTemplate_;
    if (!t)
        return;
    auto fixture = std::make_unique<Fixture>();
    const double side = ZoomSide(sampleZoomSlider_->value());
    fixture->pos = QPointF(0.5, 0.5);
    fixture->scale = QSizeF(side, side);
    fixture->num = t->NextFixtureNumber();
    fixture->type = t->fixtureType;
    Fixture* added = fixture.get();
    t->fixtures.push_back(std::move(fixture));
    UpdateFixtureImage(*added);
    onFixtureAdded(added);
    onFixtureSelected(added, Qt::LeftButton, Qt::NoModifier);
    emit repaintPreview();
    SaveTemplates();
}

void MosavraDialog::onFixtureAdded(Fixture*)
{
    onUpdateCreateButtonState();
}

void MosavraDialog::ClearSelection()
{
    for (Fixture* f : selection_)
        f->selected = false;
    selection_.clear();
}

void MosavraDialog::UpdateAddressLabel()
{
    if (selection_.empty())
        addressLabel_->setText(tr("Selected Mosavra Address: N/A"));
    else if (selection_.size() == 1)
        addressLabel_->setText(tr("Selected Mosavra Address: ") + QString::number(selection_.front()->num));
    else
        addressLabel_->setText(tr("Multiple Fixtures Selected"));
}

void MosavraDialog::HandCanvasTemplate()
{
    canvas_->SetTemplate(currentTemplate_);
    canvas_->SetCurrentFixture(currentFixture_);
}

void MosavraDialog::onFixtureSelected(Fixture* f, Qt::MouseButtons, Qt::KeyboardModifiers modifiers)
{
    if (!currentTemplate_) {
        addressLabel_->setText(tr("Selected Mosavra Address: N/A"));
        return;
    }
    const bool ctrl = modifiers & Qt::ControlModifier;
    if (f && !f->selected) {
        if (!ctrl)
            ClearSelection();
        f->selected = true;
        selection_.push_back(f);
        currentFixture_ = f;
    } else if (f && ctrl) {
        f->selected = false;
        selection_.erase(std::remove(selection_.begin(), selection_.end(), f), selection_.end());
        currentFixture_ = nullptr;
    } else if (f) {
        // A press on a member of the selection keeps the group, so that it can be dragged.
        currentFixture_ = f;
    } else {
        ClearSelection();
        currentFixture_ = nullptr;
    }
    UpdateAddressLabel();
    HandCanvasTemplate();
    emit repaintPreview();
}

void MosavraDialog::onFixtureReleased(Fixture* f, bool moved, Qt::MouseButtons, Qt::KeyboardModifiers modifiers)
{
    if (!currentTemplate_)
        return;
    if (f && !(modifiers & Qt::ControlModifier) && !moved) {
        ClearSelection();
        f->selected = true;
        selection_.push_back(f);
        UpdateAddressLabel();
    }
    canvas_->SetTemplate(currentTemplate_);
    canvas_->SetCurrentFixture(f);
    emit repaintPreview();
}

void MosavraDialog::onFixtureDeleted(Fixture*)
{
    if (!currentTemplate_)
        return;
    // The selection goes, whichever fixture the menu was opened on.
    for (Fixture* f : selection_)
        currentTemplate_->DeleteFixture(f);
    selection_.clear();
    currentFixture_ = nullptr;
    canvas_->SetCurrentFixture(nullptr);
    UpdateAddressLabel();
    onUpdateCreateButtonState();
    emit repaintPreview();
}

void MosavraDialog::onFixtureRenumbered(Fixture*)
{
    UpdateAddressLabel();
    emit repaintPreview();
}

void MosavraDialog::onFixtureNumberChanged(int index)
{
    if (!currentFixture_)
        return;
    currentFixture_->num = index + 1;
    emit repaintPreview();
}

void MosavraDialog::onFixtureDragBegin(Fixture*)
{
    snapDragStarted_ = false;
    lastSnapped_ = QPointF();
}

void MosavraDialog::onFixtureDragEnd(Fixture*)
{
    RebuildSelectedFixtureImages();
    emit repaintPreview();
}

void MosavraDialog::onFixtureDrag(Fixture*, double mx, double my, double dx, double dy)
{
    if (selection_.empty())
        return;
    QPointF step(dx, dy);
    if (snapToGridBox_->isChecked()) {
        const double w = canvas_->width(), h = canvas_->height();
        const int divisions = CanvasGeometry::GridDivisions(gridCombo_->currentIndex());
        const int gx = CanvasGeometry::GridStep(canvas_->width(), divisions);
        const int gy = CanvasGeometry::GridStep(canvas_->height(), divisions);
        const auto snapped = [&](double x, double y) {
            return QPointF(CanvasGeometry::Snap(std::floor(x * w + 0.5), gx),
                           CanvasGeometry::Snap(std::floor(y * h + 0.5), gy));
        };
        if (snapDragStarted_) {
            const QPointF pointer = snapped(mx, my);
            step = QPointF((pointer.x() - lastSnapped_.x()) / w, (pointer.y() - lastSnapped_.y()) / h);
            lastSnapped_ = pointer;
        } else if (dx != 0 || dy != 0) {
            // The first motion only puts the first selected fixture's centre on the grid.
            lastSnapped_ = snapped(mx, my);
            const Fixture* first = selection_.front();
            const QPointF gridPoint = snapped(first->pos.x(), first->pos.y());
            step = QPointF(gridPoint.x() / w - first->pos.x(), gridPoint.y() / h - first->pos.y());
            snapDragStarted_ = true;
        } else {
            step = QPointF();
        }
    }
    if (step.isNull())
        return;
    for (Fixture* f : selection_)
        f->pos += step;
    SaveTemplates();
    emit repaintPreview();
}

void MosavraDialog::onUpdateCreateButtonState()
{
    const Template* t = currentTemplate_;
    createButton_->setEnabled(t && !t->fixtures.empty() && media_.Preview().FrameCount() > 0);
    if (!t)
        createButton_->setText(tr("Create Mosavra..."));
    else if (t->fixtureType == MosavraTypes::kCindral)
        createButton_->setText(tr("Create Cindral Mosavra..."));
    else
        createButton_->setText(tr("Create BREVANT Mosavra..."));
}

void MosavraDialog::onUpdateDeleteTemplateButtonState()
{
    removeTemplateButton_->setEnabled(templateView_->selectionModel()->hasSelection());
}

void MosavraDialog::onUpdateAddFixtureButtonState()
{
    addFixtureButton_->setEnabled(currentTemplate_ != nullptr);
    addFixtureButton_->setText(currentTemplate_ && currentTemplate_->fixtureType == MosavraTypes::kCindral
                                   ? tr("Add Cindral")
                                   : tr("Add BREVANT"));
}

void MosavraDialog::onUpdateShowSamplesState()
{
    const bool enabled = currentTemplate_ && HasMedia();
    showSamplesBox_->setEnabled(enabled);
    showMaskBox_->setEnabled(enabled);
}

void MosavraDialog::onUpdateShowNumbersState()
{
    showNumbersBox_->setEnabled(currentTemplate_ != nullptr);
}

void MosavraDialog::onUpdateShowMediaState()
{
    showMediaBox_->setEnabled(currentTemplate_ && HasMedia());
}

void MosavraDialog::onLoadTemplateList()
{
    // A reset of the model clears the view's selection without a selectionChanged.
    templateModel_->Refill();
    onUpdateDeleteTemplateButtonState();
}

void MosavraDialog::onCreateNewBrevantTemplate()
{
    CreateNewTemplate(MosavraTypes::kBrevant);
}

void MosavraDialog::onCreateNewCindralTemplate()
{
    CreateNewTemplate(MosavraTypes::kCindral);
}

void MosavraDialog::CreateNewTemplate(MosavraTypes::FixtureFamily family)
{
    auto created = std::make_unique<Template>();
    created->name = MosavraTypes::NewTemplateName(templates_);
    created->fixtureType = family;
    Template* t = created.get();
    templates_.push_back(std::move(created));
    if (currentTemplate_ && currentTemplate_->fixtureType == family &&
        QMessageBox::question(this, tr("Copy"),
                              tr("Do you want to copy the current template into the new one you are creating?"),
                              QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
        t->zoom = currentTemplate_->zoom;
        t->sample = currentTemplate_->sample;
        t->CopyFixturesFrom(*currentTemplate_);
    }
    onLoadTemplateList();
    const QModelIndex last = templateModel_->index(templateModel_->rowCount() - 1);
    templateView_->selectionModel()->select(last, QItemSelectionModel::ClearAndSelect);
    templateView_->setCurrentIndex(last);
    SaveTemplates();
}

void MosavraDialog::onDeleteTemplate()
{
    if (currentTemplate_)
        DeleteTemplate(currentTemplate_);
}

void MosavraDialog::DeleteTemplate(Template* t)
{
    ClearSelection();
    currentFixture_ = nullptr;
    // The canvas lets go first: it must never paint or hit-test a destroyed template.
    currentTemplate_ = nullptr;
    HandCanvasTemplate();
    MosavraTypes::DeleteTemplate(templates_, t);
    onLoadTemplateList();
    SaveTemplates();
    ApplyTemplate(nullptr);
}

void MosavraDialog::onTemplateSelectionChanged(const QItemSelection& selected, const QItemSelection&)
{
    const QModelIndexList indexes = selected.indexes();
    onTemplateSelected(indexes.isEmpty() ? nullptr : templateModel_->TemplateAt(indexes.first().row()));
}

void MosavraDialog::onTemplateSelected(Template* t)
{
    if (t == currentTemplate_)
        return;
    ApplyTemplate(t);
}

void MosavraDialog::ApplyTemplate(Template* t)
{
    currentTemplate_ = t;
    // No selection or current fixture outlives the template it belongs to.
    ClearSelection();
    currentFixture_ = nullptr;
    HandCanvasTemplate();
    UpdateAddressLabel();

    onUpdateShowSamplesState();
    onUpdateShowNumbersState();
    onUpdateShowMediaState();
    onUpdateAddFixtureButtonState();
    onUpdateDeleteTemplateButtonState();
    onUpdateCreateButtonState();

    sampleZoomSlider_->setEnabled(t != nullptr);
    lockBox_->setEnabled(t != nullptr);
    {
        const QSignalBlocker quiet(lockBox_);
        lockBox_->setChecked(t && t->locked);
    }
    if (t) {
        SetQuietly(sampleZoomSlider_, t->zoom);
        SetQuietly(sampleSizeSlider_, t->sample);
        familyLabel_->setText(t->fixtureType == MosavraTypes::kCindral ? tr("Cindral Mosavra")
                                                                       : tr("BREVANT Mosavra"));
        mediaRect_ = t->scale;
    } else {
        familyLabel_->clear();
    }
    mediaPosition_ = mediaRect_.topLeft();
    onSettingsChange();
    ApplyZoom();
    RefreshFixtureImages();
    emit repaintPreview();
}

void MosavraDialog::templateContextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = templateView_->indexAt(templateView_->viewport()->mapFromGlobal(event->globalPos()));
    if (!index.isValid())
        return;
    QMenu menu(this);
    QAction* rename = menu.addAction(tr("Rename"));
    QAction* remove = menu.addAction(tr("Delete"));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == rename) {
        templateView_->edit(index);
    } else if (chosen == remove) {
        if (Template* t = templateModel_->TemplateAt(index.row())) {
            templateView_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
            DeleteTemplate(t);
        }
    }
}

void MosavraDialog::onChangeTemplateLock()
{
    if (currentTemplate_)
        currentTemplate_->locked = lockBox_->isChecked();
}

FixtureSampling::Settings MosavraDialog::SamplingSettings() const
{
    FixtureSampling::Settings settings;
    settings.brightness = BrightnessFromSlider(brightnessSlider_->value());
    settings.contrast = ContrastFromSlider(contrastSlider_->value());
    settings.luminanceWeight = WeightFromSlider(luminanceWeightSlider_->value());
    if (luminanceGroup_->checkedId() == 1)
        settings.luminanceWeight = -settings.luminanceWeight;
    settings.distanceWeight = WeightFromSlider(distanceWeightSlider_->value());
    settings.luminanceCutoff = WeightFromSlider(luminanceCutoffSlider_->value());
    settings.cutoffGreater = cutoffModeGroup_->checkedId() == 1;
    settings.colourMode = std::max(0, colourModeGroup_->checkedId());
    settings.sampleSlider = sampleSizeSlider_->value();
    return settings;
}

void MosavraDialog::onSettingsChange()
{
    if (currentTemplate_) {
        TakeMovedValue(sampleZoomSlider_, currentTemplate_->zoom);
        TakeMovedValue(sampleSizeSlider_, currentTemplate_->sample);
    }
    if (HasMedia()) {
        const OverrideCursorHelper wait;
        ++settingsCounter_;
        RebuildMediaPreviews();
        ApplyZoom();
        RefreshFixtureImages();
        RefreshCanvas();
    } else {
        ApplyZoom();
        emit repaintPreview();
    }
}

void MosavraDialog::ApplyZoom()
{
    if (!currentTemplate_)
        return;
    const double side = ZoomSide(sampleZoomSlider_->value());
    for (const auto& f : currentTemplate_->fixtures) {
        if (std::abs(f->scale.width() - side) >= kZoomTolerance || std::abs(f->scale.height() - side) >= kZoomTolerance) {
            f->scale = QSizeF(side, side);
            f->stamp = settingsCounter_ - 1;
        }
    }
}

void MosavraDialog::onResetToDefaults()
{
    SetQuietly(contrastSlider_, 128);
    SetQuietly(brightnessSlider_, 128);
    SetQuietly(luminanceWeightSlider_, 0);
    SetQuietly(distanceWeightSlider_, 0);
    SetQuietly(luminanceCutoffSlider_, 0);
    for (QButtonGroup* group : {cutoffModeGroup_, luminanceGroup_, colourModeGroup_})
        group->button(0)->setChecked(true);
    onSettingsChange();
}
