#include "library/archive/ParallelGzipWriter.h"

#include <zlib.h>

#include <algorithm>
#include <system_error>

namespace ArchiveLibInterface {
namespace {

// deflate without a zlib or gzip wrapper: the gzip header and trailer are ours.
constexpr int kRawDeflateWindowBits = -15;
constexpr int kMemoryLevel = 8;

QByteArray GzipHeader()
{
    // Magic, deflate, no flags, no modification time, no extra flags, Unix.
    const char header[] = {'\x1f', '\x8b', '\x08', '\0', '\0', '\0', '\0', '\0', '\0', '\x03'};
    return QByteArray(header, sizeof header);
}

QByteArray GzipTrailer(quint32 crc, quint64 size)
{
    QByteArray trailer(8, '\0');
    for (int i = 0; i < 4; ++i) {
        trailer[i] = char((crc >> (8 * i)) & 0xff);
        trailer[4 + i] = char((size >> (8 * i)) & 0xff);
    }
    return trailer;
}

int DefaultThreads()
{
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, ParallelGzipWriter::kMaxDefaultThreads);
}

} // namespace

struct ParallelGzipWriter::Block
{
    QByteArray dictionary;
    QByteArray input;
    bool last = false;
    // Set by the worker that compressed it.
    QByteArray output;
    quint32 crc = 0;
    bool ok = false;
    bool done = false;
};

ParallelGzipWriter::ParallelGzipWriter(Sink sink, int threads, qint64 blockSize, int level)
    : sink_(std::move(sink)), threads_(threads > 0 ? threads : DefaultThreads()),
      blockSize_(qMax<qint64>(blockSize, 1)), level_(level)
{
    pending_.reserve(blockSize_);
}

ParallelGzipWriter::~ParallelGzipWriter()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workAvailable_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

bool ParallelGzipWriter::Write(const char* data, qint64 length)
{
    if (failed_ || finished_ || length < 0)
        return false;
    while (length > 0) {
        const qint64 n = qMin(length, blockSize_ - pending_.size());
        pending_.append(data, n);
        data += n;
        length -= n;
        if (pending_.size() == blockSize_) {
            Submit(false);
            if (failed_)
                return false;
        }
    }
    return true;
}

bool ParallelGzipWriter::Finish()
{
    if (failed_ || finished_)
        return false;
    Submit(true);
    while (!failed_ && !inFlight_.empty())
        WriteOldest();
    finished_ = true;
    if (failed_)
        return false;
    const QByteArray trailer = GzipTrailer(crc_, totalIn_);
    if (!sink_(trailer.constData(), trailer.size()))
        failed_ = true;
    return !failed_;
}

void ParallelGzipWriter::Submit(bool last)
{
    auto block = std::make_shared<Block>();
    block->dictionary = history_;
    block->input = std::exchange(pending_, QByteArray());
    block->last = last;
    if (block->input.size() >= kDictionarySize)
        history_ = block->input.right(kDictionarySize);
    else
        history_ = (history_ + block->input).right(kDictionarySize);
    pending_.reserve(blockSize_);

    inFlight_.push_back(block);
    if (threads_ > 1)
        StartWorkers();
    if (workers_.empty()) {
        Compress(*block, level_);
        block->done = true;
    } else {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(block);
        }
        workAvailable_.notify_one();
    }
    while (!failed_ && inFlight_.size() > size_t(2 * threads_))
        WriteOldest();
}

bool ParallelGzipWriter::WriteOldest()
{
    const std::shared_ptr<Block> block = inFlight_.front();
    inFlight_.pop_front();
    {
        std::unique_lock lock(mutex_);
        blockDone_.wait(lock, [&] { return block->done; });
    }
    if (!block->ok) {
        error_ = QStringLiteral("the compressor failed");
        failed_ = true;
        return false;
    }
    if (!headerWritten_) {
        const QByteArray header = GzipHeader();
        headerWritten_ = true;
        if (!sink_(header.constData(), header.size())) {
            failed_ = true;
            return false;
        }
    }
    if (!sink_(block->output.constData(), block->output.size())) {
        failed_ = true;
        return false;
    }
    crc_ = quint32(crc32_combine(crc_, block->crc, z_off_t(block->input.size())));
    totalIn_ += quint64(block->input.size());
    return true;
}

void ParallelGzipWriter::StartWorkers()
{
    if (workersStarted_)
        return;
    workersStarted_ = true;
    try {
        for (int i = 0; i < threads_; ++i)
            workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
        // No more threads to be had: those started do the work, or the calling thread.
    }
}

void ParallelGzipWriter::Work()
{
    while (true) {
        std::shared_ptr<Block> block;
        {
            std::unique_lock lock(mutex_);
            workAvailable_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            block = queue_.front();
            queue_.pop_front();
        }
        Compress(*block, level_);
        {
            std::lock_guard lock(mutex_);
            block->done = true;
        }
        blockDone_.notify_all();
    }
}

void ParallelGzipWriter::Compress(Block& block, int level)
{
    const auto* input = reinterpret_cast<const Bytef*>(block.input.constData());
    block.crc = quint32(crc32(0, input, uInt(block.input.size())));
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, kRawDeflateWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    bool ok = block.dictionary.isEmpty() ||
              deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(block.dictionary.constData()),
                                   uInt(block.dictionary.size())) == Z_OK;
    // A sync flush adds an empty stored block of 5 bytes to what deflateBound allows for.
    block.output.resize(qsizetype(deflateBound(&stream, uLong(block.input.size())) + 16));
    stream.next_in = const_cast<Bytef*>(input);
    stream.avail_in = uInt(block.input.size());
    const int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
    qsizetype produced = 0;
    while (ok) {
        stream.next_out = reinterpret_cast<Bytef*>(block.output.data() + produced);
        stream.avail_out = uInt(block.output.size() - produced);
        const int result = deflate(&stream, flush);
        produced = block.output.size() - qsizetype(stream.avail_out);
        if (result == Z_STREAM_END || (result == Z_OK && !block.last && stream.avail_out > 0))
            break;
        // The flush ended exactly at the end of the room: the next call has nothing to give.
        if (result == Z_BUF_ERROR && !block.last && stream.avail_in == 0 && produced > 0)
            break;
        if (result != Z_OK && result != Z_BUF_ERROR) {
            ok = false;
            break;
        }
        block.output.resize(block.output.size() * 2);
    }
    deflateEnd(&stream);
    block.output.truncate(produced);
    block.ok = ok;
}

} // namespace ArchiveLibInterface
