#include "app/shell/ProgramSession.h"
#include "content/cache/ContentImageCache.h"
#include "images/BrevantImage.h"
#include "tests/fixtures/FamilyTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A window that notes, as it goes, which files the cache folder held.
class RecordingWindow : public QWidget
{
public:
    RecordingWindow(QString folder, QStringList* filesAtDestruction)
        : folder_(std::move(folder)), filesAtDestruction_(filesAtDestruction)
    {
    }
    ~RecordingWindow() override { *filesAtDestruction_ = QDir(folder_).entryList(QDir::Files, QDir::Name); }

private:
    QString folder_;
    QStringList* filesAtDestruction_;
};

} // namespace

TEST(ProgramRunTest, TheImageCacheIsTrimmedAfterTheEventLoopBeforeTheWindowGoes)
{
    QTemporaryDir temporary;
    const QString folder = temporary.filePath("Cache");
    {
        // Three 4 MiB files, the first the least recently written.
        ContentImageCache writer(folder, nullptr);
        for (quint32 key : {1u, 2u, 3u}) {
            auto image = MakeTestImage<BrevantImage>(1, "Image", key);
            ASSERT_TRUE(writer.Store(*image));
        }
        const QDateTime now = QDateTime::currentDateTime();
        for (quint32 key : {1u, 2u, 3u}) {
            QFile file(QDir(folder).filePath(ContentImageCache::FileName(key, "bvi")));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.resize(4 * 1024 * 1024));
            ASSERT_TRUE(file.setFileTime(now.addSecs(int(key) - 10), QFileDevice::FileModificationTime));
        }
    }
    const QStringList previous = QDir::searchPaths(ContentImageCache::kFolderPrefix);
    QDir::setSearchPaths(ContentImageCache::kFolderPrefix, {folder});
    ContentImageCache::DestroyInstance();

    QStringList filesWhileTheWindowLived;
    QStringList filesAtDestruction;
    const int result = RunProgramWindow(*qApp, [&] {
        auto window = std::make_unique<RecordingWindow>(folder, &filesAtDestruction);
        QTimer::singleShot(0, window.get(), [&, w = window.get()] {
            filesWhileTheWindowLived = QDir(folder).entryList(QDir::Files, QDir::Name);
            w->close();
        });
        return window;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(filesWhileTheWindowLived.size(), 3);
    EXPECT_EQ(filesAtDestruction, (QStringList{"00000002.bvi", "00000003.bvi"}));

    ContentImageCache::DestroyInstance();
    QDir::setSearchPaths(ContentImageCache::kFolderPrefix, previous);
}
