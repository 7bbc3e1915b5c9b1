#include "sim/rig/FixtureRegistry.h"
#include "sim/fixtures/FixtureJson.h"
#include "sim/fixtures/TarvoLampJson.h"

namespace sim {

FixtureRegistry FixtureRegistry::Standard()
{
    FixtureRegistry registry;
    // RDM responders and the LED families' fixtures.
    for (const QString& kind : FixtureKinds())
        registry.Register(kind, [kind](const QJsonObject& settings, QString* error) -> std::shared_ptr<LineFixture> {
            return CreateFixtureFromJson(kind, settings, error);
        });
    // Lamp fixtures of the Tarvo protocol.
    registry.Register(QStringLiteral("tarvo-lamp"), [](const QJsonObject& settings, QString* error) -> std::shared_ptr<LineFixture> {
        return CreateTarvoLampFromJson(settings, error);
    });
    return registry;
}

void FixtureRegistry::Register(const QString& kind, Factory factory)
{
    factories_[kind] = std::move(factory);
}

bool FixtureRegistry::Contains(const QString& kind) const
{
    return factories_.count(kind) != 0;
}

QStringList FixtureRegistry::Kinds() const
{
    QStringList kinds;
    for (const auto& [kind, factory] : factories_)
        kinds << kind;
    return kinds;
}

std::shared_ptr<LineFixture> FixtureRegistry::Create(const QString& kind, const QJsonObject& settings,
                                                     QString* error) const
{
    auto it = factories_.find(kind);
    if (it == factories_.end()) {
        if (error)
            *error = QStringLiteral("unknown fixture kind \"%1\" (known: %2)").arg(kind, Kinds().join(", "));
        return nullptr;
    }
    QString reason;
    std::shared_ptr<LineFixture> fixture = it->second(settings, &reason);
    if (!fixture && error)
        *error = reason.isEmpty() ? QStringLiteral("the fixture could not be made") : reason;
    return fixture;
}

} // namespace sim
