#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QStringList>

class Device;

// The fixtures a wizard offers, followed while the wizard is open. A fixture the registry
// announces removed (DeviceRemoved), or that is deleted, leaves at once: its place answers
// null from then on and Gone says which place it was, so that the wizard drops its rows.
// Places never move, so a row may keep its fixture's place.
//
// A fixture already announced removed when the list is made (kept alive only by a
// DeviceManager::RemovalHold) is taken as gone from the start. GUI thread.
class LiveDevices : public QObject
{
    Q_OBJECT
public:
    explicit LiveDevices(const QList<Device*>& devices, QObject* parent = nullptr);

    // The number of places (fixtures offered, gone ones included).
    int Count() const { return static_cast<int>(devices_.size()); }
    // The fixture at `place`; null once it has gone or for a place out of range.
    Device* At(int place) const;
    // The place of `device`; -1 when it is not offered or has gone.
    int PlaceOf(const Device* device) const;
    // The fixtures still here, in the order offered.
    QList<Device*> Live() const;

signals:
    // The fixture at `place` has gone; At(place) is null already.
    void Gone(int place);

private:
    void Drop(int place);

    QList<QPointer<Device>> devices_;
    QList<bool> gone_;
};

// The live fixtures of a LiveDevices by model text (exact), models in text order. A model
// whose last fixture goes leaves, and ModelsChanged says so. GUI thread.
class ModelGroups : public QObject
{
    Q_OBJECT
public:
    explicit ModelGroups(LiveDevices* devices, QObject* parent = nullptr);

    QStringList Models() const { return places_.keys(); }
    // The places of `model`'s fixtures in the order offered; none for an unknown model.
    QList<int> Places(const QString& model) const { return places_.value(model); }
    QList<Device*> Devices(const QString& model) const;

signals:
    void ModelsChanged();

private:
    void OnGone(int place);

    LiveDevices* devices_;
    QMap<QString, QList<int>> places_;
};

class QComboBox;
// Fills `combo` with `models` again, keeping its current text when it is still there.
void RefillModels(QComboBox* combo, const QStringList& models);
