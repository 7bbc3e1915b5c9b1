#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class IFeedback;
class RDMDevice;

// A fixture family that RDM discovery recognises by the fixture's model text
// (DEVICE_MODEL_DESCRIPTION) and represents by a class of its own, with identifiers of its
// own boards: a graphics engine whose unique id and FPGA version it must be able to read,
// and, in production mode, graphics-engine and motion identifiers to assign.
//
// The families live in libraries above the link (fixtures/), which register them at
// start-up; the link knows them only through this interface. Calls come from discovery on
// the command thread; every `fixture` passed in was made by the same family's
// CreateFixture and carries its UID.
class IRdmFamily
{
public:
    virtual ~IRdmFamily() = default;

    // A new fixture object of the family, without parent; never null.
    virtual std::unique_ptr<RDMDevice> CreateFixture() const = 0;
    // Reads the graphics engine's unique id, then the FPGA version, into the fixture.
    // False when either cannot be read; discovery then leaves the fixture out.
    virtual bool ReadIdentity(RDMDevice* fixture, IFeedback* feedback) const = 0;
    // Reads the rest of what the family shows (graphics-engine version label, Mosavra
    // address, graphics-boot flag); failures are reported and otherwise ignored.
    virtual void ReadDetails(RDMDevice* fixture, IFeedback* feedback) const = 0;
    // The graphics-engine unique id last read or assigned.
    virtual quint32 GraphicsEngineUniqueId(const RDMDevice* fixture) const = 0;
    // Gives the fixture's graphics engine the unique id `id`; on an acknowledgement the
    // fixture object keeps it and the result is true.
    virtual bool AssignGraphicsEngineUniqueId(RDMDevice* fixture, quint32 id, IFeedback* feedback) const = 0;
    // Gives the fixture's motion board (its RDM responder) the device id `id`; true when
    // acknowledged. The fixture answers under its new UID from then on; the caller
    // updates the fixture object's UID.
    virtual bool AssignMotionUniqueId(RDMDevice* fixture, quint32 id, IFeedback* feedback) const = 0;
};

// The families discovery knows, by model text compared without regard to case.
//
// Filled at start-up, before the first discovery, by the libraries that define families
// (fixtures/: RegisterQelFamilies()); tests register stand-ins. Thread-safe.
class RdmFamilies
{
public:
    // Registers `family` for `modelText`, replacing a family registered for it before.
    static void Register(const QString& modelText, std::shared_ptr<const IRdmFamily> family);
    static void Unregister(const QString& modelText);
    // The family of `modelText`, or null.
    static std::shared_ptr<const IRdmFamily> Find(const QString& modelText);
};
