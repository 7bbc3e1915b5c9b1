#include "app/wizards/LiveDevices.h"

#include "link/devices/Device.h"
#include "link/devices/DeviceManager.h"

#include <QComboBox>

LiveDevices::LiveDevices(const QList<Device*>& devices, QObject* parent) : QObject(parent)
{
    for (Device* device : devices) {
        const int place = Count();
        const bool removed = !device || DeviceManager::RemovalHold::IsRemoved(device);
        devices_.append(removed ? nullptr : device);
        gone_.append(removed);
        if (!removed)
            connect(device, &QObject::destroyed, this, [this, place] { Drop(place); });
    }
    connect(DeviceManager::Instance(), &DeviceManager::DeviceRemoved, this, [this](Device* device) {
        const int place = PlaceOf(device);
        if (place >= 0)
            Drop(place);
    });
}

Device* LiveDevices::At(int place) const
{
    return place >= 0 && place < Count() ? devices_[place].data() : nullptr;
}

int LiveDevices::PlaceOf(const Device* device) const
{
    if (!device)
        return -1;
    for (int place = 0; place < Count(); ++place) {
        if (devices_[place] == device)
            return place;
    }
    return -1;
}

QList<Device*> LiveDevices::Live() const
{
    QList<Device*> live;
    for (const QPointer<Device>& device : devices_) {
        if (device)
            live.append(device);
    }
    return live;
}

void LiveDevices::Drop(int place)
{
    // A removed fixture is deleted later: only the first of the two ends counts.
    if (gone_[place])
        return;
    gone_[place] = true;
    if (devices_[place])
        disconnect(devices_[place], nullptr, this, nullptr);
    devices_[place] = nullptr;
    emit Gone(place);
}

ModelGroups::ModelGroups(LiveDevices* devices, QObject* parent) : QObject(parent), devices_(devices)
{
    for (int place = 0; place < devices->Count(); ++place) {
        if (Device* device = devices->At(place))
            places_[device->GetModelName()].append(place);
    }
    connect(devices, &LiveDevices::Gone, this, &ModelGroups::OnGone);
}

QList<Device*> ModelGroups::Devices(const QString& model) const
{
    QList<Device*> live;
    for (int place : Places(model)) {
        if (Device* device = devices_->At(place))
            live.append(device);
    }
    return live;
}

void ModelGroups::OnGone(int place)
{
    bool modelsChanged = false;
    for (auto model = places_.begin(); model != places_.end();) {
        model->removeAll(place);
        if (model->isEmpty()) {
            model = places_.erase(model);
            modelsChanged = true;
        } else {
            ++model;
        }
    }
    if (modelsChanged)
        emit ModelsChanged();
}

void RefillModels(QComboBox* combo, const QStringList& models)
{
    const QString current = combo->currentText();
    {
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItems(models);
    }
    combo->setCurrentIndex(combo->findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive));
}
