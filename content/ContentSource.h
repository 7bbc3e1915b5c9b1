#pragma once

#include <QList>
#include <QString>

class ContentBase;
class QMimeData;

// The MIME type under which a content payload travels (the quotes are part of the type).
inline const QString ContentSourceMimeType =
    QStringLiteral("application/x-qt-windows-mime;value=\"quorvane-velmora-contents\"");

// The payload of the clipboard and of drags between the content views: a mode and a list
// of nodes in selection order, not owned.
//
// On the wire (the QMimeData entry under ContentSourceMimeType) a payload is, big-endian:
// the mode (qint32), this process's 16-byte nonce, the item count (quint32) and one
// 64-bit handle per item (content/ContentHandles.h). Bytes that are short, longer than
// their count says, or carry another nonce (another process's payload, or another run's)
// are no payload. Handles of nodes that have died are skipped when a payload is read, so
// a payload never yields a dead node. The same QMimeData carries a text form: each item's
// name followed by "\n".
//
// GUI thread, except ForgetContent.
class ContentSource
{
public:
    enum Mode {
        DraggedFromTree = 0,
        DraggedFromItemView = 1,
        CopiedToClipboard = 2,
        CutToClipboard = 3,
    };

    explicit ContentSource(int mode = DraggedFromTree, const QList<ContentBase*>& items = {});
    virtual ~ContentSource();

    int Mode() const { return mode_; }
    const QList<ContentBase*>& Items() const { return items_; }
    // Mode 0 and no items.
    void Clear();

    // A new QMimeData holding the payload and its text form; owned by the caller (normally
    // handed straight to the clipboard or a QDrag).
    QMimeData* MimeData() const;
    // Replaces this source by the payload of `data`; false (source unchanged) when `data`
    // is null or holds no payload of this process. The living nodes it names may be none.
    bool FromMimeData(const QMimeData* data);

    // Whether `data` holds a payload of this process (its nonce decodes).
    static bool IsOwnPayload(const QMimeData* data);

    // Called by every ContentBase destructor, on any thread: the node's handle goes, and a
    // clipboard payload of ours that named it is rewritten without it (cleared when nothing
    // is left). The clipboard is rewritten on the GUI thread only: at once there, queued
    // from another thread. Nothing touches the clipboard while the application closes.
    static void ForgetContent(const ContentBase* item);
    // Clears the clipboard when it holds a payload of ours, and only then: the payload
    // names nodes of this process, which go with it. For the application's end.
    static void ClearOwnClipboard();

private:
    int mode_;
    QList<ContentBase*> items_;
};

// The payload as the actions, views and drop code make it.
class ContentMimeSource : public ContentSource
{
public:
    using ContentSource::ContentSource;
    ~ContentMimeSource() override;
};
