#pragma once

#include "content/ContentBase.h"

// A leaf of a content tree: one still image or animation (the LED images derive from it).
//
// Every content carries a random 32-bit key, drawn from the system's cryptographic
// generator at construction. A copy carries the same key, so the key identifies one image
// across trees and on the fixtures; the image cache and the folder indexes use it.
//
// A content may exist before its data (a fixture folder lists it by name and address
// first): IsNotLoaded answers true until the data is there.
//
// Threads: as ContentBase; ContentChanged is emitted while ContentMutex is held.
class Content : public ContentBase
{
    Q_OBJECT
public:
    explicit Content(ContentFolder* parent = nullptr);

    // The parent's GetRoot; null without a parent.
    ContentFolder* GetRoot() const override;
    // The parent folder's GetTopFolder; null without a parent.
    ContentFolder* GetTopFolder() const override;
    QIcon Icon() override;

    // A new, independent copy with the same key, without parent, owned by the caller.
    virtual Content* Clone() = 0;
    virtual quint32 Key() const;
    // Reads the content from a file; false (and the content unchanged) when it cannot.
    virtual bool Load(const QString& path) = 0;
    // Writes the content to a file; false when the file could not be written whole.
    virtual bool Save(const QString& path) = 0;
    // Suffix of the content's file form, without the dot.
    virtual QString FileExtension() const = 0;
    // True while only the name and address are known, not the data.
    virtual bool IsNotLoaded() const;

    // Gives the content the key of the image it stands for: a copy, a record read back, or
    // an item a fixture listed by key before its data has arrived. Folder indexes keyed by
    // the old key are not told; set it before the content enters a folder.
    void SetKey(quint32 key);

signals:
    // The content's data (frames, palette, settings) changed.
    void ContentChanged();

protected:
    // Draws a fresh key from the system's generator.
    void DrawNewKey();

private:
    quint32 key_;
};
