#pragma once

#include <QtGlobal>

#include <memory>

class Content;

// The process-wide store of images by key: a fixture folder asks it for the images it
// learns of by discovery (so that it need not download them over the line) and gives it
// every image it has downloaded.
//
// This is the place where the cache plugs in: the default instance finds nothing and keeps
// nothing. The real cache (a directory of image files and the libraries' indexes) installs
// itself with SetInstance.
//
// Threads: Instance and SetInstance any; Find and Store are called by the fixture folders
// on their own thread and must be safe to call from any thread.
class ContentImageCache
{
public:
    virtual ~ContentImageCache();

    // The installed cache, or the empty default.
    static ContentImageCache* Instance();
    // Installs `cache` (not owned; it must stay until it is replaced); null puts the empty
    // default back.
    static void SetInstance(ContentImageCache* cache);

    // A new image with that key, owned by the caller, or null.
    virtual std::unique_ptr<Content> Find(quint32 key);
    // Keeps a copy of `content` under its key; false when it could not.
    virtual bool Store(const Content& content);
};
