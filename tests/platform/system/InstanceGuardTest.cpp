#include "platform/system/InstanceGuard.h"

#include <QProcess>
#include <QUuid>
#include <gtest/gtest.h>

using platform::InstanceGuard;

TEST(InstanceGuard, SecondGuardOfTheSameNameSeesAnotherInstance)
{
    const QString name = "VelmoraTest-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        InstanceGuard first(name);
        EXPECT_FALSE(first.AnotherInstanceRunning());
        // flock locks belong to the open file, so a second open in the same process
        // conflicts just as another process would.
        InstanceGuard second(name);
        EXPECT_TRUE(second.AnotherInstanceRunning());
    }
    InstanceGuard afterwards(name);
    EXPECT_FALSE(afterwards.AnotherInstanceRunning());
}

TEST(InstanceGuard, OtherNamesAreIndependent)
{
    InstanceGuard a("VelmoraTest-" + QUuid::createUuid().toString(QUuid::WithoutBraces));
    InstanceGuard b("VelmoraTest-" + QUuid::createUuid().toString(QUuid::WithoutBraces));
    EXPECT_FALSE(a.AnotherInstanceRunning());
    EXPECT_FALSE(b.AnotherInstanceRunning());
}

TEST(InstanceGuard, AnUnusableLockFileCountsAsAnotherInstance)
{
    // A name that cannot be a file name in the lock folder.
    InstanceGuard guard("no/such/folder/VelmoraTest");
    EXPECT_TRUE(guard.AnotherInstanceRunning());
}
