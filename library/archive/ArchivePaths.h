#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>

// Pure text work on the names of package archives and their members: no file is touched.
namespace ArchivePaths {

// A caller puts this in front of a content package's path to read its members as
// encrypted records (stock content).
inline constexpr QLatin1StringView kDecodePrefix("decode#");

// The package extensions, in the order in which a name is tested for them.
const QStringList& PackageExtensions();

// A name that runs through a package archive, split into its parts.
struct PackagePath
{
    QString name;        // as passed in
    QString extension;   // the package extension in lower case, e.g. ".qelpkg"
    QString archivePath; // the name up to and including the extension, "decode#" still on it
    QString archiveFile; // archivePath without "decode#": the archive file on disk
    QString innerPath;   // the member path, normalised (see NormalizeMemberPath); empty for the archive
    bool decode = false; // the name started with "decode#"
};

// Splits a name at the first of the package extensions (in the order above) that ends one
// of its path components, compared without regard to case; the parts keep the case of
// the name. Empty when the name does not run through a package, or when its member part
// climbs out of the archive ("..").
std::optional<PackagePath> SplitPackagePath(const QString& name);

bool HasDecodePrefix(const QString& name);
// The name without a leading "decode#".
QString StripDecodePrefix(const QString& name);

// The parts of a path split at '/' and '\', without empty and "." parts.
QStringList PathParts(const QString& path);

// A member path as the layer compares it: its parts joined with '/', so "/f/", "f" and
// "./f" are one member. Empty for the archive root and for a path with a ".." part
// (isValid set false then).
QString NormalizeMemberPath(const QString& path, bool* isValid = nullptr);

// Why `name` cannot be one component of a path inside its folder: empty when it can. A
// name is refused when it is empty, "." or "..", absolute or a search-path name
// ("Firmware:x"), or holds '/', '\\' or NUL: joined to a folder it would name another
// folder, or a place outside it.
QString NameProblem(const QString& name);

// The name of `memberPath` when it lies directly below `parentPath` (both normalised;
// an empty parent is the archive root), the parent compared without regard to case;
// else empty.
QString DirectChildName(const QString& memberPath, const QString& parentPath);

// fnmatch(3)-style matching without FNM_PATHNAME and without regard to case: '*' matches
// any run of characters, '/' included; '?' one character; "[...]" a set ("[!...]" or
// "[^...]" its complement, "a-z" ranges); '\' quotes the next character.
class WildcardMatcher
{
public:
    explicit WildcardMatcher(const QStringList& patterns);
    // True when there are no patterns or one of them matches the whole text.
    bool Matches(const QString& text) const;
    bool IsEmpty() const { return !hasPatterns_; }

private:
    bool hasPatterns_;
    QList<QRegularExpression> patterns_;
};

bool MatchesWildcard(const QString& pattern, const QString& text);

} // namespace ArchivePaths
