#include "content/ContentSource.h"

#include "content/ContentBase.h"
#include "content/ContentHandles.h"
#include "platform/system/Random.h"

#include <QClipboard>
#include <QDataStream>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>
#include <QMutex>
#include <QThread>

namespace {

constexpr int kNonceSize = 16;
// Mode, nonce and count.
constexpr qsizetype kHeaderSize = 4 + kNonceSize + 4;
constexpr qsizetype kHandleSize = 8;

// Drawn once per process: a payload from another process (or a guess) cannot name our
// nodes.
const QByteArray& Nonce()
{
    static const QByteArray nonce = [] {
        QByteArray bytes(kNonceSize, '\0');
        FillRandom(bytes.data(), std::size_t(bytes.size()));
        return bytes;
    }();
    return nonce;
}

struct Payload {
    qint32 mode = 0;
    QList<quint64> handles;
};

QByteArray Encode(int mode, const QList<quint64>& handles)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::BigEndian);
    stream << qint32(mode);
    stream.writeRawData(Nonce().constData(), kNonceSize);
    stream << quint32(handles.size());
    for (quint64 handle : handles)
        stream << handle;
    return bytes;
}

bool Decode(const QMimeData* data, Payload* payload)
{
    if (!data || !data->hasFormat(ContentSourceMimeType))
        return false;
    const QByteArray bytes = data->data(ContentSourceMimeType);
    if (bytes.size() < kHeaderSize || bytes.mid(4, kNonceSize) != Nonce())
        return false;
    QDataStream stream(bytes);
    stream.setByteOrder(QDataStream::BigEndian);
    qint32 mode = 0;
    quint32 count = 0;
    stream >> mode;
    stream.skipRawData(kNonceSize);
    stream >> count;
    // Compared in 64 bits: a count near 2^32 must not wrap into a plausible size.
    if (quint64(bytes.size() - kHeaderSize) != quint64(count) * kHandleSize)
        return false;
    payload->mode = mode;
    payload->handles.clear();
    payload->handles.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        quint64 handle = 0;
        stream >> handle;
        payload->handles.append(handle);
    }
    return stream.status() == QDataStream::Ok;
}

QClipboard* Clipboard()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nullptr;
    return QGuiApplication::clipboard();
}

// Rewrites a clipboard payload of ours without the handles whose nodes have died, and
// clears the clipboard when none is left. GUI thread.
void PruneClipboard()
{
    QClipboard* board = QCoreApplication::closingDown() ? nullptr : Clipboard();
    Payload payload;
    if (!board || !Decode(board->mimeData(), &payload))
        return;
    QList<ContentBase*> living;
    for (quint64 handle : payload.handles) {
        if (ContentBase* node = ContentHandles::NodeOf(handle))
            living.append(node);
    }
    if (living.size() == payload.handles.size())
        return;
    if (living.isEmpty())
        board->clear(QClipboard::Clipboard);
    else
        board->setMimeData(ContentMimeSource(payload.mode, living).MimeData(), QClipboard::Clipboard);
}

// Deaths on other threads ask for one prune on the GUI thread; later ones ride on it.
QMutex pruneMutex;
bool prunePending = false;

void RunQueuedPrune()
{
    {
        QMutexLocker lock(&pruneMutex);
        prunePending = false;
    }
    PruneClipboard();
}

} // namespace

ContentSource::ContentSource(int mode, const QList<ContentBase*>& items) : mode_(mode), items_(items) {}

ContentSource::~ContentSource() = default;

void ContentSource::Clear()
{
    mode_ = DraggedFromTree;
    items_.clear();
}

QMimeData* ContentSource::MimeData() const
{
    QList<quint64> handles;
    QString text;
    for (ContentBase* item : items_) {
        handles.append(ContentHandles::HandleOf(item));
        text += (item ? item->GetName() : QString()) + QLatin1Char('\n');
    }
    auto* data = new QMimeData;
    data->setData(ContentSourceMimeType, Encode(mode_, handles));
    data->setText(text);
    return data;
}

bool ContentSource::FromMimeData(const QMimeData* data)
{
    Payload payload;
    if (!Decode(data, &payload))
        return false;
    mode_ = payload.mode;
    items_.clear();
    for (quint64 handle : payload.handles) {
        if (ContentBase* node = ContentHandles::NodeOf(handle))
            items_.append(node);
    }
    return true;
}

bool ContentSource::IsOwnPayload(const QMimeData* data)
{
    Payload payload;
    return Decode(data, &payload);
}

void ContentSource::ForgetContent(const ContentBase* item)
{
    // A node no payload ever named has nothing on the clipboard: most deaths end here,
    // without a look at the clipboard.
    if (!ContentHandles::Forget(item))
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QCoreApplication::closingDown())
        return;
    if (QThread::currentThread() == app->thread()) {
        PruneClipboard();
        return;
    }
    {
        QMutexLocker lock(&pruneMutex);
        if (prunePending)
            return;
        prunePending = true;
    }
    QMetaObject::invokeMethod(app, &RunQueuedPrune, Qt::QueuedConnection);
}

void ContentSource::ClearOwnClipboard()
{
    QClipboard* board = Clipboard();
    if (board && IsOwnPayload(board->mimeData()))
        board->clear(QClipboard::Clipboard);
}

ContentMimeSource::~ContentMimeSource() = default;
