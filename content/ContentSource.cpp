#include "content/ContentSource.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSet>
#include <QThread>

namespace {

// Shared by every thread that destroys nodes; guarded by its own mutex (never by
// ContentMutex, which a dying node's folder may or may not hold).
struct ClipboardRegistry {
    QMutex mutex;
    QSet<const ContentBase*> items;
    std::function<void()> pruner;
    // A prune is already queued to the GUI thread: later deaths ride on it.
    bool prunePending = false;
};

ClipboardRegistry& Registry()
{
    // Never destroyed: nodes may die in exit-time destructors.
    static auto* registry = new ClipboardRegistry;
    return *registry;
}

void RunPruner()
{
    std::function<void()> pruner;
    {
        QMutexLocker lock(&Registry().mutex);
        Registry().prunePending = false;
        pruner = Registry().pruner;
    }
    if (pruner)
        pruner();
}

bool OnGuiThread(QCoreApplication* app)
{
    return QThread::currentThread() == app->thread();
}

} // namespace

ContentSource::ContentSource(int mode, const QList<ContentBase*>& items) : mode_(mode), items_(items) {}

ContentSource::~ContentSource() = default;

void ContentSource::Clear()
{
    mode_ = DraggedFromTree;
    items_.clear();
}

void ContentSource::ForgetContent(const ContentBase* item)
{
    bool queuePrune = false;
    QCoreApplication* app = QCoreApplication::instance();
    {
        QMutexLocker lock(&Registry().mutex);
        if (!Registry().items.remove(item))
            return;
        if (!app || QCoreApplication::closingDown() || !Registry().pruner)
            return;
        if (!OnGuiThread(app)) {
            queuePrune = !Registry().prunePending;
            Registry().prunePending = true;
        }
    }
    if (OnGuiThread(app))
        RunPruner();
    else if (queuePrune)
        QMetaObject::invokeMethod(app, &RunPruner, Qt::QueuedConnection);
}

void ContentSource::SetClipboardItems(const QList<ContentBase*>& items)
{
    QSet<const ContentBase*> registered;
    for (const ContentBase* item : items)
        registered.insert(item);
    QMutexLocker lock(&Registry().mutex);
    Registry().items = std::move(registered);
}

bool ContentSource::IsOnClipboard(const ContentBase* item)
{
    QMutexLocker lock(&Registry().mutex);
    return Registry().items.contains(item);
}

void ContentSource::SetClipboardPruner(std::function<void()> pruner)
{
    QMutexLocker lock(&Registry().mutex);
    Registry().pruner = std::move(pruner);
}
