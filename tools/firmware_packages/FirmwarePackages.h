#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Sample firmware packages of the LED families, for the tests and the demo rig: one
// gzip-compressed tar archive per family ("brevant.qrvpkg", "cindral.qrvpkg") holding our
// own bytes in the shape of real firmware — a motion and a graphics image of 2048 packets
// of 256 bytes each, with stretches of erased flash (0xFF packets, which the upgrade
// leaves out), an FPGA image, and the XML configuration that states the versions.
namespace firmware_packages {

// 0: the first family (BREVANT), 1: the second (Cindral).
inline constexpr int kFamilyCount = 2;
// Packets of the motion and graphics images, and their size.
inline constexpr int kImagePackets = 2048;
inline constexpr int kPacketSize = 256;

// The versions the configuration states.
inline constexpr const char* kMotionVersion = "3.2.0.1";
inline constexpr const char* kGraphicsVersion = "2.4.2.0";
inline constexpr int kFpgaVersion = 8;

// "brevant.qrvpkg" / "cindral.qrvpkg".
QString PackageFileName(int family);

// The members: their names inside the package and their bytes.
QString MotionMember(int family);
QString GraphicsMember(int family);
QString FpgaMember(int family);
QString ConfigMember(int family);
QByteArray MotionImage(int family);
QByteArray GraphicsImage(int family);
QByteArray FpgaImage(int family);
QByteArray Config(int family);

// Writes a gzip-compressed ustar archive of `members` (name, bytes) to `path`, replacing
// an existing file only when the whole archive is written; false, with the reason, when it
// cannot. Tests make packages of their own with it.
bool WriteArchive(const QString& path, const QList<QPair<QString, QByteArray>>& members, QString* error);

// Writes the package of `family` into the existing folder `dir`, replacing an existing one
// only when the whole new one is written; false, with the reason, when it cannot.
bool WritePackage(int family, const QString& dir, QString* error);

} // namespace firmware_packages
