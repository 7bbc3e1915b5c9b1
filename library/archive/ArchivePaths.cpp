#include "library/archive/ArchivePaths.h"

#include <QDir>

namespace ArchivePaths {
namespace {

// "prefix:rest" with a registered search-path prefix, which QDir resolves elsewhere.
bool IsSearchPathName(const QString& name)
{
    const qsizetype colon = name.indexOf(u':');
    return colon >= 2 && !QDir::searchPaths(name.left(colon)).isEmpty();
}

bool IsSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

// The regular expression for one fnmatch-style pattern, anchored at both ends.
QString WildcardToRegularExpression(const QString& pattern)
{
    QString rx;
    rx.reserve(pattern.size() * 2 + 8);
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = pattern.at(i);
        if (c == u'*') {
            rx += QLatin1StringView(".*");
        } else if (c == u'?') {
            rx += u'.';
        } else if (c == u'\\' && i + 1 < n) {
            rx += QRegularExpression::escape(QString(pattern.at(++i)));
        } else if (c == u'[') {
            // A set runs to the first ']' that is not its first member; without one the
            // '[' stands for itself, as fnmatch has it.
            qsizetype j = i + 1;
            if (j < n && (pattern.at(j) == u'!' || pattern.at(j) == u'^'))
                ++j;
            if (j < n && pattern.at(j) == u']')
                ++j;
            while (j < n && pattern.at(j) != u']')
                ++j;
            if (j >= n) {
                rx += QRegularExpression::escape(QString(c));
                continue;
            }
            qsizetype k = i + 1;
            QString set = QStringLiteral("[");
            if (pattern.at(k) == u'!' || pattern.at(k) == u'^') {
                set += u'^';
                ++k;
            }
            const qsizetype first = k;
            for (; k < j; ++k) {
                const QChar m = pattern.at(k);
                if (m == u'-' && k > first && k + 1 < j) {
                    set += u'-';
                } else {
                    // Punctuation is quoted so that none is special to the regular
                    // expression; letters and digits must not be ("\\b" is an escape).
                    if (!m.isLetterOrNumber())
                        set += u'\\';
                    set += m;
                }
            }
            set += u']';
            rx += set;
            i = j;
        } else {
            rx += QRegularExpression::escape(QString(c));
        }
    }
    return QRegularExpression::anchoredPattern(rx);
}

} // namespace

const QStringList& PackageExtensions()
{
    static const QStringList extensions = {
        QStringLiteral(".qelpkg"),
        QStringLiteral(".qrvpkg"),
        QStringLiteral(".brevantcollage"),
        QStringLiteral(".cindralcollage"),
    };
    return extensions;
}

bool HasDecodePrefix(const QString& name)
{
    return name.startsWith(kDecodePrefix);
}

QString StripDecodePrefix(const QString& name)
{
    return HasDecodePrefix(name) ? name.mid(kDecodePrefix.size()) : name;
}

QStringList PathParts(const QString& path)
{
    QStringList parts;
    qsizetype start = 0;
    const qsizetype n = path.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i == n || IsSeparator(path.at(i))) {
            if (i > start) {
                const QString part = path.mid(start, i - start);
                if (part != u".")
                    parts.append(part);
            }
            start = i + 1;
        }
    }
    return parts;
}

QString NormalizeMemberPath(const QString& path, bool* isValid)
{
    const QStringList parts = PathParts(path);
    const bool valid = !parts.contains(QStringLiteral(".."));
    if (isValid)
        *isValid = valid;
    return valid ? parts.join(u'/') : QString();
}

std::optional<PackagePath> SplitPackagePath(const QString& name)
{
    for (const QString& extension : PackageExtensions()) {
        qsizetype from = 0;
        while (true) {
            const qsizetype at = name.indexOf(extension, from, Qt::CaseInsensitive);
            if (at < 0)
                break;
            const qsizetype end = at + extension.size();
            if (end == name.size() || IsSeparator(name.at(end))) {
                PackagePath parts;
                parts.name = name;
                parts.extension = extension;
                parts.archivePath = name.left(end);
                parts.decode = HasDecodePrefix(name);
                parts.archiveFile = StripDecodePrefix(parts.archivePath);
                bool valid = true;
                parts.innerPath = NormalizeMemberPath(name.mid(end), &valid);
                if (!valid)
                    return std::nullopt;
                return parts;
            }
            from = at + 1;
        }
    }
    return std::nullopt;
}

QString NameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("a name cannot be empty");
    if (name == u"." || name == u"..")
        return QStringLiteral("\"%1\" names a folder, not an entry in it").arg(name);
    if (name.contains(u'/') || name.contains(u'\\') || name.contains(QChar(0)))
        return QStringLiteral("\"%1\" holds a path separator or a NUL character").arg(name);
    if (QDir::isAbsolutePath(name) || IsSearchPathName(name))
        return QStringLiteral("\"%1\" names a place of its own").arg(name);
    return QString();
}

QString DirectChildName(const QString& memberPath, const QString& parentPath)
{
    const QStringList path = PathParts(memberPath);
    const QStringList parent = PathParts(parentPath);
    if (path.size() != parent.size() + 1)
        return QString();
    for (qsizetype i = 0; i < parent.size(); ++i) {
        if (path.at(i).compare(parent.at(i), Qt::CaseInsensitive) != 0)
            return QString();
    }
    return path.last();
}

WildcardMatcher::WildcardMatcher(const QStringList& patterns) : hasPatterns_(!patterns.isEmpty())
{
    for (const QString& pattern : patterns) {
        QRegularExpression rx(WildcardToRegularExpression(pattern),
                              QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DotMatchesEverythingOption);
        if (rx.isValid())
            patterns_.append(rx);
    }
}

bool WildcardMatcher::Matches(const QString& text) const
{
    if (!hasPatterns_)
        return true;
    for (const QRegularExpression& rx : patterns_) {
        if (rx.match(text).hasMatch())
            return true;
    }
    return false;
}

bool MatchesWildcard(const QString& pattern, const QString& text)
{
    return WildcardMatcher(QStringList{pattern}).Matches(text);
}

} // namespace ArchivePaths
