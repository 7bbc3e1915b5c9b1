#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace config_test {

// A config.xml as the writer lays it out: the declaration, then `lines`, one a line.
inline QByteArray Xml(const QStringList& lines)
{
    return (QStringList{QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")} + lines)
               .join(QLatin1Char('\n'))
               .toUtf8() +
           '\n';
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A fresh folder for each test.
class ConfigFolder : public ::testing::Test
{
protected:
    QString Path(const QString& name = QString()) const { return name.isEmpty() ? dir_.path() : dir_.filePath(name); }
    // Makes the folder `name` (and its parents) and answers its path.
    QString Folder(const QString& name) const
    {
        QDir().mkpath(Path(name));
        return Path(name);
    }
    QString ConfigOf(const QString& name) const { return Path(name) + QStringLiteral("/config.xml"); }

private:
    QTemporaryDir dir_;
};

} // namespace config_test
