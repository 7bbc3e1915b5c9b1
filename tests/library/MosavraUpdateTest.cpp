// The Mosavra update against stand-in fixtures: family fixtures whose Mosavra content group
// is an in-memory folder that answers from another thread, as a fixture's does.
#include "fixtures/QelRDM.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/mosavra/UpdateMosavraContentSyncOperation.h"
#include "tests/library/LibraryTestSupport.h"

using namespace library_test;

namespace {

// A first-family fixture of Mosavra address `address` whose Mosavra group is `group`.
class StandInFixture : public BrevantRDM
{
public:
    StandInFixture(quint64 uid, quint16 address, ContentFolder* group) : group_(group)
    {
        SetUniqueId(quint32(uid), quint32(uid >> 32));
        SetMosavraAddress(address);
    }
    ContentFolder* GetMosavraContentGroup() override { return group_; }

private:
    ContentFolder* group_;
};

// The library's first package holds Stage at 3 (numbers 7 and 12) and Wall at 5 (7); the
// fixtures have the Mosavra addresses 7 and 12.
class MosavraUpdate : public LibraryFolder
{
protected:
    MosavraUpdate()
        : root_(Folder(QStringLiteral("mosavra"))),
          group7_(nullptr, QStringLiteral("F7")),
          group12_(nullptr, QStringLiteral("F12")),
          fixture7_(0x7ff000000007, 7, &group7_),
          fixture12_(0x7ff00000000c, 12, &group12_)
    {
        package_ = root_.Package(0);
        for (MemoryFolder* group : {&group7_, &group12_})
            group->SetAnswer(MemoryFolder::Answer::Later);
        Make(QStringLiteral("Stage"), 3, {7, 12});
        Make(QStringLiteral("Wall"), 5, {7});
    }

    void Make(const QString& name, int address, const QList<quint16>& ids)
    {
        QList<Content*> images;
        for (quint16 id : ids)
            images.append(MakeImage<BrevantImage>(QStringLiteral("x"), id).release());
        ASSERT_TRUE(package_->CreateFolder(name, address, images));
    }
    quint32 LibraryKey(const QString& collage, int index)
    {
        return static_cast<Content*>(static_cast<ContentFolder*>(ChildNamed(package_, collage))->Child(index))->Key();
    }
    // "folder@address/item@address key" of everything in a group.
    static QStringList Contents(ContentFolder* group)
    {
        QStringList lines;
        for (int f = 0; f < group->ChildCount(); ++f) {
            auto* folder = static_cast<ContentFolder*>(group->Child(f));
            for (int i = 0; i < folder->ChildCount(); ++i) {
                auto* item = static_cast<Content*>(folder->Child(i));
                lines.append(QStringLiteral("%1@%2/%3@%4 %5")
                                 .arg(folder->GetName())
                                 .arg(folder->GetAddress())
                                 .arg(item->GetName())
                                 .arg(item->GetAddress())
                                 .arg(item->Key()));
            }
        }
        return lines;
    }
    // Takes everything out of a group (and waits for its late answers).
    static void Empty(MemoryFolder& group)
    {
        MemoryLink::Instance().Drain();
        while (group.ChildCount() > 0) {
            group.RemoveChild(group.Child(0), nullptr);
            MemoryLink::Instance().Drain();
        }
        group.Log().Clear();
    }
    int Update(FeedbackRecorder& feedback, bool* upToDate = nullptr)
    {
        UpdateMosavraContentSyncOperation update;
        EXPECT_TRUE(update.Prepare(package_, {&fixture7_, &fixture12_}));
        EXPECT_TRUE(update.IsValid());
        EXPECT_EQ(update.Title(), QStringLiteral("Updating Mosavra Content.."));
        const int result = update.Run(&feedback);
        if (upToDate)
            *upToDate = update.Succeeded();
        return result;
    }

    MosavraContentLibraryRoot root_;
    MosavraContentLibraryPackage* package_ = nullptr;
    MemoryFolder group7_;
    MemoryFolder group12_;
    StandInFixture fixture7_;
    StandInFixture fixture12_;
};

TEST_F(MosavraUpdate, EachFixtureGetsItsShareOnceAndASecondRunFindsItUpToDate)
{
    FeedbackRecorder feedback;
    bool upToDate = true;
    ASSERT_EQ(Update(feedback, &upToDate), 0) << feedback.Texts().join(u'\n').toStdString();
    EXPECT_FALSE(upToDate);
    EXPECT_EQ(Contents(&group7_), (QStringList{QStringLiteral("Mosavra@251/Stage@3 %1").arg(LibraryKey("Stage", 0)),
                                               QStringLiteral("Mosavra@251/Wall@5 %1").arg(LibraryKey("Wall", 0))}));
    EXPECT_EQ(Contents(&group12_), QStringList{QStringLiteral("Mosavra@251/Stage@3 %1").arg(LibraryKey("Stage", 1))});

    group7_.Log().Clear();
    group12_.Log().Clear();
    FeedbackRecorder again;
    ASSERT_EQ(Update(again, &upToDate), 0);
    EXPECT_TRUE(upToDate);
    EXPECT_TRUE(group7_.Log().Lines().isEmpty());
    EXPECT_TRUE(group12_.Log().Lines().isEmpty());
    EXPECT_EQ(again.Totals().value(0), 100);
}

TEST_F(MosavraUpdate, AFailureDoesNotStopTheUpdateAndACancelDoes)
{
    // The first fixture cannot take the Mosavra folder; the second is brought in line.
    group7_.SetRefused(MemoryFolder::Create);
    FeedbackRecorder failed;
    bool upToDate = true;
    EXPECT_EQ(Update(failed, &upToDate), 1);
    EXPECT_FALSE(upToDate);
    EXPECT_TRUE(group7_.Log().Lines().isEmpty());
    EXPECT_EQ(Contents(&group12_).size(), 1);

    // A cancel in the first fixture leaves the second alone.
    group7_.SetRefused(0);
    Empty(group12_);
    FeedbackRecorder cancelled;
    cancelled.CancelOnText(QStringLiteral("Creating folder Mosavra in F7"));
    EXPECT_EQ(Update(cancelled, &upToDate), 2);
    EXPECT_FALSE(upToDate);
    EXPECT_TRUE(group12_.Log().Lines().isEmpty());

    // A cancel after a failure answers the failure.
    Empty(group7_);
    group7_.SetRefused(MemoryFolder::Create);
    FeedbackRecorder both;
    both.CancelOnText(QStringLiteral("Creating folder Mosavra in F12"));
    EXPECT_EQ(Update(both, &upToDate), 1);
}

TEST_F(MosavraUpdate, OnlyFamilyFixturesWithAMosavraGroupCanBePrepared)
{
    StandInFixture withoutGroup(0x7ff0000000abull, 0, nullptr);
    UpdateMosavraContentSyncOperation update;
    EXPECT_FALSE(update.IsValid());
    EXPECT_FALSE(update.Prepare(package_, {&fixture7_, &withoutGroup}));
    EXPECT_EQ(update.PrepareFailure(), QStringLiteral("Device 0x7ff0000000ab has no Mosavra content group"));

    // A collage that could not be read would be taken off the fixtures.
    WriteBytes(Path(QStringLiteral("mosavra/BREVANT/Wall/config.xml")), "<objects");
    MosavraContentLibraryRoot reread(Path(QStringLiteral("mosavra")));
    UpdateMosavraContentSyncOperation damaged;
    EXPECT_FALSE(damaged.Prepare(reread.Package(0), {&fixture7_}));
    EXPECT_EQ(damaged.PrepareFailure(), QStringLiteral("Wall could not be read, so no fixture is updated from it"));
    EXPECT_FALSE(damaged.IsValid());

    UpdateMosavraContentSyncOperation none;
    EXPECT_FALSE(none.Prepare(nullptr, {&fixture7_}));
    EXPECT_FALSE(none.IsValid());
    FeedbackRecorder feedback;
    EXPECT_EQ(none.Run(&feedback), 1);
}

} // namespace
