#pragma once

#include "sim/line/LineFixture.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

namespace sim {

// The fixture kinds a rig file may name, each with the factory that makes a fixture from
// its JSON object (the object without its "kind").
//
// A task that adds a kind of fixture registers it in Standard() (FixtureRegistry.cpp);
// tests make registries of their own.
class FixtureRegistry
{
public:
    // Null, with the reason in `error`, when the settings are not acceptable.
    using Factory = std::function<std::shared_ptr<LineFixture>(const QJsonObject& settings, QString* error)>;

    // Every kind of simulated fixture this project has.
    static FixtureRegistry Standard();

    // A later registration of the same kind replaces the earlier one.
    void Register(const QString& kind, Factory factory);
    bool Contains(const QString& kind) const;
    QStringList Kinds() const;

    std::shared_ptr<LineFixture> Create(const QString& kind, const QJsonObject& settings, QString* error) const;

private:
    std::map<QString, Factory> factories_;
};

} // namespace sim
