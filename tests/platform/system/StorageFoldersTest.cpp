#include "platform/system/StorageFolders.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// Sets an environment variable for one scope.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

} // namespace

TEST(StorageFolders, EnvironmentOverridesBothFolders)
{
    ScopedEnv docs("VELMORA_DOCUMENTS", "/tmp/velmora-docs/");
    ScopedEnv data("VELMORA_APPDATA", "/tmp/velmora-data");
    EXPECT_EQ(platform::DocumentsFolder(), "/tmp/velmora-docs");
    EXPECT_EQ(platform::CommonAppDataFolder(), "/tmp/velmora-data");
}

TEST(StorageFolders, WithoutOverridesTheSystemLocationsAreUsed)
{
    ScopedEnv docs("VELMORA_DOCUMENTS", QByteArray());
    ScopedEnv data("VELMORA_APPDATA", QByteArray());
    EXPECT_FALSE(platform::DocumentsFolder().isEmpty());
    EXPECT_FALSE(platform::CommonAppDataFolder().isEmpty());
}
