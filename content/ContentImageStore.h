#pragma once

#include <QtGlobal>

#include <memory>

class Content;

// The process-wide store of images by key, as the fixture folders see it: a folder asks it
// for the images it learns of by discovery (so that it need not download them over the
// line) and gives it every image it has downloaded.
//
// The default instance finds nothing and keeps nothing. The program's image cache
// (content/cache/ContentImageCache.h) installs itself with SetInstance; tests install
// their own.
//
// Threads: Instance and SetInstance any. Find and Store are called by the fixture folders
// on the GUI thread, where the program's cache lives.
class ContentImageStore
{
public:
    virtual ~ContentImageStore();

    // The installed store, or the empty default.
    static ContentImageStore* Instance();
    // Installs `store` (not owned; it must stay until it is replaced); null puts the empty
    // default back.
    static void SetInstance(ContentImageStore* store);

    // A new image with that key, owned by the caller, or null.
    virtual std::unique_ptr<Content> Find(quint32 key);
    // Keeps a copy of `content` under its key; false when it could not.
    virtual bool Store(Content& content);
};
