#include "sim/rig/Rig.h"
#include "sim/widget/ProgrammedWidget.h"
#include "sim/widget/UnprogrammedWidget.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace sim {

namespace {

bool WholeNumberUpTo(double value, qint64 highest)
{
    return value >= 0 && value <= double(highest) && value == std::floor(value);
}

// Reads the values of one JSON object and keeps the first problem, named by its place.
class Fields
{
public:
    Fields(const QJsonObject& object, QString where) : object_(object), where_(std::move(where)) {}

    bool Ok() const { return error_.isEmpty(); }
    const QString& Error() const { return error_; }

    void Fail(const QString& key, const QString& problem)
    {
        if (error_.isEmpty())
            error_ = QStringLiteral("%1.%2: %3").arg(where_, key, problem);
    }

    void OnlyKeys(const QStringList& allowed)
    {
        for (const QString& key : object_.keys())
            if (!allowed.contains(key))
                Fail(key, QStringLiteral("unknown key (allowed: %1)").arg(allowed.join(", ")));
    }

    // A whole number from 0 to `highest`, as a JSON number or a "0x" text.
    bool Number(const QString& key, qint64 highest, qint64* out, bool required = false)
    {
        const QJsonValue value = object_.value(key);
        if (value.isUndefined()) {
            if (required)
                Fail(key, QStringLiteral("missing"));
            return false;
        }
        qint64 number = -1;
        // Range first: a double too large for the integer it is converted to has no value.
        if (value.isDouble() && WholeNumberUpTo(value.toDouble(), highest)) {
            number = qint64(value.toDouble());
        } else if (value.isString() && value.toString().startsWith("0x", Qt::CaseInsensitive)) {
            bool ok = false;
            number = value.toString().mid(2).toLongLong(&ok, 16);
            if (!ok)
                number = -1;
        }
        if (number < 0 || number > highest) {
            Fail(key, QStringLiteral("expected a whole number from 0 to %1").arg(highest));
            return false;
        }
        *out = number;
        return true;
    }

    template <size_t N>
    void Bytes(const QString& key, std::array<quint8, N>* out)
    {
        const QJsonValue value = object_.value(key);
        if (value.isUndefined())
            return;
        const QJsonArray array = value.toArray();
        bool ok = value.isArray() && array.size() == int(N);
        for (int i = 0; ok && i < array.size(); ++i) {
            const double number = array[i].toDouble(-1);
            ok = array[i].isDouble() && WholeNumberUpTo(number, 255);
            if (ok)
                (*out)[i] = quint8(number);
        }
        if (!ok)
            Fail(key, QStringLiteral("expected %1 numbers from 0 to 255").arg(N));
    }

    const QJsonObject& Object() const { return object_; }

private:
    QJsonObject object_;
    QString where_;
    QString error_;
};

std::optional<WidgetSpec> ParseWidget(const QJsonValue& value, const QString& where, const FixtureRegistry& registry,
                                      QString* error)
{
    if (!value.isObject()) {
        *error = where + QStringLiteral(": expected an object");
        return std::nullopt;
    }
    Fields fields(value.toObject(), where);
    fields.OnlyKeys({"kind", "productId", "serial", "version", "reply23", "reply0A", "wireTiming", "fixtures"});
    WidgetSpec spec;
    const QJsonObject& object = fields.Object();
    const QString kind = object.value("kind").toString();
    if (kind == "programmed")
        spec.kind = WidgetSpec::Kind::Programmed;
    else if (kind == "unprogrammed")
        spec.kind = WidgetSpec::Kind::Unprogrammed;
    else
        fields.Fail("kind", QStringLiteral("expected \"programmed\" or \"unprogrammed\""));
    qint64 number;
    if (fields.Number("productId", 0xFFFF, &number))
        spec.config.productId = quint16(number);
    if (object.contains("serial")) {
        if (object.value("serial").isString())
            spec.config.serial = object.value("serial").toString();
        else
            fields.Fail("serial", QStringLiteral("expected a text"));
    }
    fields.Bytes("version", &spec.config.version);
    fields.Bytes("reply23", &spec.config.reply23);
    if (fields.Number("reply0A", 0xFF, &number))
        spec.config.reply0A = quint8(number);
    if (object.contains("wireTiming")) {
        if (object.value("wireTiming").isBool())
            spec.wireTiming = object.value("wireTiming").toBool();
        else
            fields.Fail("wireTiming", QStringLiteral("expected true or false"));
    }
    if (object.contains("fixtures") && !object.value("fixtures").isArray())
        fields.Fail("fixtures", QStringLiteral("expected an array"));
    if (!fields.Ok()) {
        *error = fields.Error();
        return std::nullopt;
    }

    const QJsonArray fixtures = object.value("fixtures").toArray();
    for (int i = 0; i < fixtures.size(); ++i) {
        const QString place = QStringLiteral("%1.fixtures[%2]").arg(where).arg(i);
        QJsonObject settings = fixtures[i].toObject();
        if (!fixtures[i].isObject() || !settings.value("kind").isString()) {
            *error = place + QStringLiteral(": expected an object with a \"kind\"");
            return std::nullopt;
        }
        FixtureSpec fixture{settings.value("kind").toString(), {}};
        settings.remove("kind");
        fixture.settings = settings;
        QString reason;
        if (!registry.Create(fixture.kind, fixture.settings, &reason)) {
            *error = place + QStringLiteral(": ") + reason;
            return std::nullopt;
        }
        spec.fixtures.push_back(fixture);
    }
    return spec;
}

} // namespace

std::optional<Rig> ParseRig(const QByteArray& json, const FixtureRegistry& registry, QString* error)
{
    QString reason;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return std::nullopt;
    };
    if (document.isNull())
        return fail(QStringLiteral("not JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset));
    if (!document.isObject())
        return fail(QStringLiteral("expected an object"));
    const QJsonObject root = document.object();
    for (const QString& key : root.keys())
        if (key != "widgets")
            return fail(QStringLiteral("%1: unknown key (allowed: widgets)").arg(key));
    if (root.contains("widgets") && !root.value("widgets").isArray())
        return fail(QStringLiteral("widgets: expected an array"));
    Rig rig;
    const QJsonArray widgets = root.value("widgets").toArray();
    for (int i = 0; i < widgets.size(); ++i) {
        auto widget = ParseWidget(widgets[i], QStringLiteral("widgets[%1]").arg(i), registry, &reason);
        if (!widget)
            return fail(reason);
        rig.widgets.push_back(*widget);
    }
    return rig;
}

std::optional<Rig> LoadRig(const QString& path, const FixtureRegistry& registry, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QString reason;
    auto rig = ParseRig(file.readAll(), registry, &reason);
    if (!rig && error)
        *error = QStringLiteral("%1: %2").arg(path, reason);
    return rig;
}

std::optional<WidgetHardware> BuildWidget(const WidgetSpec& spec, const FixtureRegistry& registry, QString* error)
{
    WidgetHardware hardware;
    hardware.line = std::make_shared<DmxLine>();
    hardware.line->SetWireTiming(spec.wireTiming);
    for (const FixtureSpec& fixtureSpec : spec.fixtures) {
        std::shared_ptr<LineFixture> fixture = registry.Create(fixtureSpec.kind, fixtureSpec.settings, error);
        if (!fixture)
            return std::nullopt;
        hardware.line->Attach(fixture);
        hardware.fixtures.push_back(fixture);
    }
    if (spec.kind == WidgetSpec::Kind::Programmed)
        hardware.device = std::make_shared<ProgrammedWidget>(spec.config, hardware.line);
    else
        hardware.device = std::make_shared<UnprogrammedWidget>(spec.config, hardware.line);
    return hardware;
}

} // namespace sim
