#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ArchiveLibInterface {

// Compresses a stream of bytes into one gzip member on several threads, as pigz does.
//
// The input is cut into blocks that are deflated independently, each with the 32 KiB
// before it as its dictionary (so the result compresses about as well as one deflate
// stream), each but the last ended by a sync flush so that the raw deflate data of the
// blocks can be joined. The blocks go out in order behind a gzip header, and the trailer
// carries the CRC-32 of the whole input (the blocks' CRCs combined) and its size modulo
// 2^32. gzip, tar and libarchive read the result as any gzip file.
//
// Memory stays bounded: at most two blocks per worker are in flight; Write waits for the
// oldest when more would be. One thread calls Write and Finish; the sink is called on it.
class ParallelGzipWriter
{
public:
    // Takes the compressed bytes; false when they could not be stored (the writer then
    // fails, and the sink says why to whoever made it).
    using Sink = std::function<bool(const char* data, qint64 length)>;

    static constexpr qint64 kDefaultBlockSize = 128 << 10;
    // The dictionary each block is primed with: deflate's whole window.
    static constexpr qint64 kDictionarySize = 32 << 10;
    // Workers when none are asked for: the cores, but no more than this.
    static constexpr int kMaxDefaultThreads = 4;

    // `threads` 0: the number of cores, at most kMaxDefaultThreads; 1 compresses on the
    // calling thread (as does a process that cannot start threads). `level` is zlib's
    // (-1: its default, 6, as gzip and bsdtar use).
    explicit ParallelGzipWriter(Sink sink, int threads = 0, qint64 blockSize = kDefaultBlockSize, int level = -1);
    ~ParallelGzipWriter();
    ParallelGzipWriter(const ParallelGzipWriter&) = delete;
    ParallelGzipWriter& operator=(const ParallelGzipWriter&) = delete;

    // Takes bytes to compress; false once anything has failed.
    bool Write(const char* data, qint64 length);
    // Compresses what is left and writes the trailer; false when anything failed. Nothing
    // may be written after it.
    bool Finish();
    // Why the writer failed, when it was not the sink.
    QString ErrorString() const { return error_; }

private:
    struct Block;

    void Submit(bool last);
    bool WriteOldest();
    void StartWorkers();
    void Work();
    static void Compress(Block& block, int level);

    const Sink sink_;
    const int threads_;
    const qint64 blockSize_;
    const int level_;

    QByteArray pending_;  // the block being filled
    QByteArray history_;  // the last kDictionarySize bytes before it
    std::deque<std::shared_ptr<Block>> inFlight_; // submitted, in order; caller's thread only
    bool workersStarted_ = false;
    bool headerWritten_ = false;
    bool finished_ = false;
    bool failed_ = false;
    quint32 crc_ = 0;
    quint64 totalIn_ = 0;
    QString error_;

    std::mutex mutex_; // guards queue_ and stopping_, and Block::done
    std::condition_variable workAvailable_;
    std::condition_variable blockDone_;
    std::deque<std::shared_ptr<Block>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace ArchiveLibInterface
