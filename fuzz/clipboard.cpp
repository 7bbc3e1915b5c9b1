// The clipboard and drag payload of the content views (ContentSource::FromMimeData), with
// live nodes that have handles and dead ones whose handles are left over: a payload reads
// only when it is whole and of this process, yields only living nodes (the very nodes of
// its handles), and what the program writes for them reads back to them.
#include "content/ContentBase.h"
#include "content/ContentHandles.h"
#include "content/ContentSource.h"
#include "fuzz/FuzzSupport.h"

#include <QHash>
#include <QMimeData>
#include <QtEndian>

#include <algorithm>
#include <memory>

namespace fuzz_target {
namespace {

// A node of no tree: all the payload needs is its name and handle.
class Node final : public ContentBase
{
public:
    explicit Node(const QString& name) { SetName(name); }
    ContentFolder* GetRoot() const override { return nullptr; }
    ContentFolder* GetTopFolder() const override { return nullptr; }
    QIcon Icon() override { return {}; }
};

// Where the payload's parts lie.
constexpr qsizetype kNonceAt = 4;
constexpr qsizetype kNonceSize = 16;
constexpr qsizetype kHeaderSize = kNonceAt + kNonceSize + 4;

// The input: one byte of flags, a chunk for the text form, then the payload's bytes.
enum Flags : std::uint8_t {
    // The payload carries this process's nonce in place of bytes 4 to 19 (the seeds are
    // written by another process, whose nonce they cannot know).
    kOwnNonce = 1,
    // The payload is put under the content MIME type; without it the data has the text only.
    kHasPayload = 2,
    // The text form is set.
    kHasText = 4,
};

std::vector<std::unique_ptr<Node>> living;
QHash<quint64, ContentBase*> livingByHandle;
QList<quint64> deadHandles;
QByteArray nonce;
Node* bystander = nullptr; // in the source before each read: a refused payload leaves it

QByteArray PayloadBytes(const QList<ContentBase*>& items, int mode)
{
    const std::unique_ptr<QMimeData> data(ContentMimeSource(mode, items).MimeData());
    return data->data(ContentSourceMimeType);
}

QString TextForm(const QList<ContentBase*>& items)
{
    QString text;
    for (ContentBase* item : items)
        text += item->GetName() + QLatin1Char('\n');
    return text;
}

// Qt 6.4's QList comparison hands memcmp a null pointer for an empty list (undefined
// behaviour to the sanitizer): compared here item by item.
bool Same(const QList<ContentBase*>& a, const QList<ContentBase*>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// The seed input for a payload this process wrote: its nonce left out, to be put back.
QByteArray SeedOf(const QByteArray& payload, const QByteArray& text, std::uint8_t flags = kOwnNonce | kHasPayload | kHasText)
{
    QByteArray bytes = payload;
    if (bytes.size() >= kHeaderSize)
        bytes.replace(kNonceAt, kNonceSize, QByteArray(kNonceSize, '\0'));
    return fuzz::InputWriter().Byte(flags).Chunk(text.left(255)).Bytes(bytes).Data();
}

// Whether `bytes` is a whole payload of this process, read independently of the program.
bool IsWhole(const QByteArray& bytes)
{
    if (bytes.size() < kHeaderSize || bytes.mid(kNonceAt, kNonceSize) != nonce)
        return false;
    const quint32 count = qFromBigEndian<quint32>(bytes.constData() + kNonceAt + kNonceSize);
    return quint64(bytes.size() - kHeaderSize) == quint64(count) * 8;
}

} // namespace

void Setup()
{
    // The same nodes and handles in every run of the target, so the seeds' handles name
    // living nodes, dead nodes and never-given numbers alike.
    const QStringList names = {QStringLiteral("Sky"),        QStringLiteral("Sea & <sand>"), QStringLiteral("gone"),
                               QStringLiteral("Ünïcödé 漢字"), QStringLiteral("gone too"),     QStringLiteral("line\nbreak")};
    for (const QString& name : names) {
        auto node = std::make_unique<Node>(name);
        const quint64 handle = ContentHandles::HandleOf(node.get());
        if (name.startsWith(QLatin1StringView("gone"))) {
            deadHandles.append(handle);
            continue; // dies here, its handle with it
        }
        livingByHandle.insert(handle, node.get());
        living.push_back(std::move(node));
    }
    bystander = living.front().get();
    nonce = PayloadBytes({}, 0).mid(kNonceAt, kNonceSize);
    fuzz::Require(nonce.size() == kNonceSize, "a payload carries the nonce");
}

void WriteSeeds()
{
    QList<ContentBase*> all;
    for (const auto& node : living)
        all.append(node.get());
    const QList<ContentBase*> one = {all.at(1)};
    const QList<ContentBase*> repeated = {all.at(2), all.at(0), all.at(2)};
    fuzz::Seed(QStringLiteral("copied-all"),
               SeedOf(PayloadBytes(all, ContentSource::CopiedToClipboard), TextForm(all).toUtf8()));
    fuzz::Seed(QStringLiteral("cut-one"), SeedOf(PayloadBytes(one, ContentSource::CutToClipboard), TextForm(one).toUtf8()));
    fuzz::Seed(QStringLiteral("dragged-repeated"),
               SeedOf(PayloadBytes(repeated, ContentSource::DraggedFromItemView), TextForm(repeated).toUtf8()));
    fuzz::Seed(QStringLiteral("dragged-none"), SeedOf(PayloadBytes({}, ContentSource::DraggedFromTree), QByteArray()));

    // Handles of dead nodes and numbers never given, in a payload written for living ones.
    QByteArray mixed = PayloadBytes(all, ContentSource::CopiedToClipboard);
    const QList<quint64> strays = deadHandles + QList<quint64>{0, 1000, ~quint64(0)};
    for (quint64 stray : strays) {
        char bytes[8];
        qToBigEndian(stray, bytes);
        mixed.append(bytes, 8);
    }
    qToBigEndian(quint32(all.size() + strays.size()), mixed.data() + kNonceAt + kNonceSize);
    fuzz::Seed(QStringLiteral("dead-and-stray"), SeedOf(mixed, "Sky\n"));

    // What must not read: another nonce, short bytes, a count beyond the bytes, text only.
    const QByteArray payload = PayloadBytes(all, ContentSource::CutToClipboard);
    fuzz::Seed(QStringLiteral("foreign-nonce"), SeedOf(payload, "Sky\n", kHasPayload | kHasText));
    fuzz::Seed(QStringLiteral("short"), SeedOf(payload.left(kHeaderSize - 1), QByteArray()));
    fuzz::Seed(QStringLiteral("count-beyond"), SeedOf(payload.left(payload.size() - 8), QByteArray()));
    fuzz::Seed(QStringLiteral("text-only"), SeedOf(payload, TextForm(all).toUtf8(), kOwnNonce | kHasText));
}

void Run(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t flags = input.Byte();
    const QByteArray text = input.Chunk();
    QByteArray bytes = input.Rest();
    if ((flags & kOwnNonce) && bytes.size() >= kNonceAt + kNonceSize)
        bytes.replace(kNonceAt, kNonceSize, nonce);

    QMimeData mime;
    if (flags & kHasPayload)
        mime.setData(ContentSourceMimeType, bytes);
    if (flags & kHasText)
        mime.setText(QString::fromUtf8(text));

    const bool whole = (flags & kHasPayload) && IsWhole(bytes);
    fuzz::Require(ContentSource::IsOwnPayload(&mime) == whole, "a payload is ours exactly when whole and of this process");
    ContentSource source(ContentSource::CutToClipboard, {bystander});
    fuzz::Require(source.FromMimeData(&mime) == whole, "a payload reads exactly when whole and of this process");
    if (!whole) {
        fuzz::Require(source.Mode() == ContentSource::CutToClipboard && Same(source.Items(), {bystander}),
                      "a refused payload leaves the source as it was");
        return;
    }

    fuzz::Require(source.Mode() == qFromBigEndian<qint32>(bytes.constData()), "the payload's mode is read");
    QList<ContentBase*> expected;
    for (qsizetype at = kHeaderSize; at < bytes.size(); at += 8) {
        if (ContentBase* node = livingByHandle.value(qFromBigEndian<quint64>(bytes.constData() + at)))
            expected.append(node);
    }
    for (ContentBase* item : source.Items())
        fuzz::Require(livingByHandle.values().contains(item), "a payload yields living nodes only");
    fuzz::Require(Same(source.Items(), expected), "a payload yields the living nodes of its handles, in order");

    // What the program writes for those nodes reads back to them.
    const std::unique_ptr<QMimeData> written(source.MimeData());
    fuzz::Require(written->text() == TextForm(expected), "the text form is each name and a line end");
    ContentMimeSource again;
    fuzz::Require(again.FromMimeData(written.get()) && again.Mode() == source.Mode() && Same(again.Items(), expected),
                  "a written payload reads back to its nodes and mode");
}

} // namespace fuzz_target
