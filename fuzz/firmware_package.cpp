// Firmware packages of the LED families: the package's XML configuration read from a
// member of a ".qrvpkg" through the file layer, and the version texts.
#include "fixtures/firmware/QelFirmwarePackage.h"
#include "fuzz/FuzzSupport.h"
#include "library/archive/ArchiveIndex.h"
#include "tools/firmware_packages/FirmwarePackages.h"

#include <QBuffer>

namespace fuzz_target {

void Setup() {}

void WriteSeeds()
{
    for (int family = 0; family < 2; ++family)
        fuzz::Seed(QStringLiteral("config-%1.xml").arg(family), QByteArray(1, char(family)) + firmware_packages::Config(family));
    fuzz::Seed(QStringLiteral("odd.xml"), QByteArray(1, '\0') + "<a><fpga version='99999999999'/><motion version='1..3.4.5'/>"
                                                                 "<graphics version='-1.x.2.3'/><motion version='4.3.2.1'/></a>");
}

void Run(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const bool cindral = input.Byte() & 1;
    const QByteArray config = input.Rest();

    QBuffer buffer;
    buffer.setData(config);
    const auto direct = QelFirmware::ConfigHandler::Read(buffer);

    // The same configuration as the member of a package.
    const QelFirmware::PackageLayout& layout = cindral ? QelFirmware::PackageLayout::Cindral() : QelFirmware::PackageLayout::Brevant();
    const QString package = fuzz::ScratchPath(QStringLiteral("in.qrvpkg"));
    QString error;
    fuzz::Require(firmware_packages::WriteArchive(package, {{layout.config, config}}, &error), "a package written");
    ArchiveLibInterface::ArchiveIndexCache::Clear();
    const auto packaged = QelFirmware::ReadPackageVersions(package, layout);
    fuzz::Require(direct.has_value() == packaged.has_value(), "a configuration reads alike from a package");
    if (direct) {
        fuzz::Require(direct->motion == packaged->motion && direct->graphics == packaged->graphics
                          && direct->fpga == packaged->fpga,
                      "a configuration reads alike from a package");
        const QString text = QelFirmware::VersionText(package, layout);
        fuzz::Require(QelFirmware::Version::FromText(direct->motion.Text()) == direct->motion,
                      "a version's text reads back as the version");
        Q_UNUSED(text);
    }
}

} // namespace fuzz_target
