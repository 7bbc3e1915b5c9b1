#pragma once

#include <QString>
#include <QtGlobal>

// Bounds on what the archive layer accepts from a package, so that a damaged or hostile
// archive cannot make the program allocate without limit. A member larger than the cap
// for its kind cannot be opened (and cannot be written either: we would not read it back).
namespace ArchiveLimits {

// config.xml and the firmware configuration: a library folder holds at most 255 items
// of a few dozen bytes each, so a megabyte is two orders of magnitude of headroom.
inline constexpr qint64 kMaxConfigMemberSize = 1 << 20;
// LED images (.bvi, .cdli): 792 header bytes plus at most 255 frames of at most 136 bytes
// is 35,472 bytes; encrypted records add at most 8 + 15 bytes per 16384. 64 KiB covers
// both with room to spare.
inline constexpr qint64 kMaxImageMemberSize = 64 << 10;
// Firmware images (.bin) inside firmware packages: FPGA bitstreams are the largest.
inline constexpr qint64 kMaxFirmwareMemberSize = 64 << 20;
// Anything else a package may carry.
inline constexpr qint64 kMaxOtherMemberSize = 16 << 20;

// An archive with more members than this is treated as damaged.
inline constexpr int kMaxArchiveMembers = 100000;
// Members up to this size are set aside by the archive index (in a temporary file, not in
// memory), so that a scan that lists a package and opens every image walks the
// compressed file once.
inline constexpr qint64 kMaxHeldMemberSize = 1 << 20;
// At most this many bytes of member data are set aside for one archive (bounding the
// temporary disk space a small, highly compressed archive can take); the rest are read
// from the archive when opened.
inline constexpr qint64 kMaxHeldBytesPerArchive = qint64(512) << 20;
// The index cache keeps at most this many archives and this many held bytes in total.
inline constexpr int kMaxCachedArchives = 8;
inline constexpr qint64 kMaxCachedBytes = qint64(1) << 30;

// The cap that applies to a member, chosen by its file name.
qint64 MemberSizeCap(const QString& memberPath);

} // namespace ArchiveLimits
