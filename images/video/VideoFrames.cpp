#include "images/video/VideoFrames.h"

#include "images/ImageSink.h"

#include <QFileInfo>
#include <QImage>
#include <QSize>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

constexpr AVRational kMilliseconds{1, 1000};

int ClampedDuration(qint64 milliseconds)
{
    return int(std::clamp<qint64>(milliseconds, 0, INT_MAX));
}

// Hands decoded pictures to the sink one behind: a picture's display time is only known
// when the next one arrives. The pictures are drawn into two buffers that take turns (the
// one waiting for its time, the one being drawn), so a long video allocates no picture
// per frame: a sink copies what it keeps.
class FrameDelivery
{
public:
    FrameDelivery(ImageSink& sink, int maxFrames) : sink_(sink), maxFrames_(maxFrames) {}

    bool Done() const { return stopped_ || delivered_ >= maxFrames_; }

    // The size the sink wants a picture of `size` at.
    QSize TargetSize(QSize size) const { return sink_.PreferredSize(size); }

    // The buffer for the next picture, of `size`; null when memory ran out.
    QImage& NextPicture(QSize size)
    {
        if (next_.size() != size)
            next_ = QImage(size, QImage::Format_RGB32);
        return next_;
    }

    // The picture just drawn into NextPicture, shown from `timeMs`: the pending one goes
    // out with the time up to it.
    void Put(qint64 timeMs)
    {
        if (hasPending_)
            Deliver(timeMs - pendingTime_);
        std::swap(pending_, next_);
        pendingTime_ = timeMs;
        hasPending_ = true;
    }

    // The last picture, shown until `endMs` (0 ms when the end is unknown, -1).
    void Finish(qint64 endMs)
    {
        if (hasPending_ && !Done())
            Deliver(endMs < 0 ? 0 : endMs - pendingTime_);
        hasPending_ = false;
    }

private:
    void Deliver(qint64 durationMs)
    {
        if (Done())
            return;
        if (!sink_.PutFrame(pending_, ClampedDuration(durationMs)))
            stopped_ = true;
        else
            ++delivered_;
    }

    ImageSink& sink_;
    const int maxFrames_;
    int delivered_ = 0;
    bool stopped_ = false;
    QImage pending_;
    QImage next_;
    qint64 pendingTime_ = 0;
    bool hasPending_ = false;
};

using FramePointer = std::unique_ptr<AVFrame, FrameFreer>;

// Converts decoded pictures to Format_RGB32 and scales them to the size of the picture
// drawn into, in one pass with area averaging (a large frame brought down to a small store
// is averaged over each target pixel, as smooth scaling does, not sampled). The rows of
// each picture are shared out over kThreads threads; each row comes out as one thread
// alone would compute it. The converter is made again when the picture's size or pixel
// format changes, since a stream may change them midway.
class PictureConverter
{
public:
    // On one thread the conversion of a 1080p stream could not keep pace with the decoder
    // on eight cores; on two it does, and more only compete with the decoder's own threads
    // (bench/README.md, bench_images).
    static constexpr int kThreads = 2;

    PictureConverter() : target_(av_frame_alloc()) {}

    // Draws `frame` into `picture`. False when no converter could be made or memory ran out.
    bool Draw(const AVFrame& frame, QImage& picture)
    {
        if (!target_ || !Prepare(frame, picture.size()))
            return false;
        // The picture's memory, lent to the converter for this call.
        AVFrame& target = *target_;
        target.format = AV_PIX_FMT_RGB32;
        target.width = picture.width();
        target.height = picture.height();
        target.data[0] = picture.bits();
        target.linesize[0] = int(picture.bytesPerLine());
        target.buf[0] = av_buffer_create(picture.bits(), std::size_t(picture.sizeInBytes()), KeepMemory, nullptr, 0);
        const bool drawn = target.buf[0] && sws_scale_frame(context_.get(), &target, &frame) >= 0;
        av_frame_unref(&target);
        return drawn;
    }

private:
    static void KeepMemory(void*, uint8_t*) {}

    bool Prepare(const AVFrame& frame, QSize size)
    {
        const auto format = AVPixelFormat(frame.format);
        if (context_ && frame.width == width_ && frame.height == height_ && format == format_ && size == size_)
            return true;
        context_.reset(sws_alloc_context());
        SwsContext* context = context_.get();
        if (!context || av_opt_set_int(context, "srcw", frame.width, 0) < 0 ||
            av_opt_set_int(context, "srch", frame.height, 0) < 0 ||
            av_opt_set_pixel_fmt(context, "src_format", format, 0) < 0 ||
            av_opt_set_int(context, "dstw", size.width(), 0) < 0 ||
            av_opt_set_int(context, "dsth", size.height(), 0) < 0 ||
            av_opt_set_pixel_fmt(context, "dst_format", AV_PIX_FMT_RGB32, 0) < 0 ||
            av_opt_set_int(context, "sws_flags", SWS_AREA, 0) < 0 ||
            av_opt_set_int(context, "threads", kThreads, 0) < 0 || sws_init_context(context, nullptr, nullptr) < 0) {
            context_.reset();
            return false;
        }
        width_ = frame.width;
        height_ = frame.height;
        format_ = format;
        size_ = size;
        return true;
    }

    std::unique_ptr<SwsContext, ScalerFreer> context_;
    FramePointer target_;
    int width_ = 0;
    int height_ = 0;
    AVPixelFormat format_ = AV_PIX_FMT_NONE;
    QSize size_;
};

// Decoded pictures on their way from the decoding thread to the thread that converts them
// and hands them to the sink: a few at a time, so that the decoder runs ahead of the
// conversion by that much and no further (each waiting picture holds a decoded frame).
class PictureQueue
{
public:
    static constexpr std::size_t kDepth = 4;

    // Decoding side: waits for room. False, the picture dropped, once the taking side
    // has stopped.
    bool Push(FramePointer picture)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopped_ || pictures_.size() < kDepth; });
        if (stopped_)
            return false;
        pictures_.push_back(std::move(picture));
        changed_.notify_all();
        return true;
    }

    // Decoding side: no more pictures will come; `outOfMemory` when that is why.
    void Close(bool outOfMemory)
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        outOfMemory_ = outOfMemory;
        changed_.notify_all();
    }

    bool Stopped() const
    {
        const std::lock_guard lock(mutex_);
        return stopped_;
    }

    // Taking side: waits for the next picture; null once the queue is closed and empty.
    FramePointer Pop()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !pictures_.empty(); });
        if (pictures_.empty())
            return nullptr;
        FramePointer picture = std::move(pictures_.front());
        pictures_.pop_front();
        changed_.notify_all();
        return picture;
    }

    // Taking side: takes no more; the pictures still waiting go.
    void Stop()
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        pictures_.clear();
        changed_.notify_all();
    }

    bool OutOfMemory() const
    {
        const std::lock_guard lock(mutex_);
        return outOfMemory_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<FramePointer> pictures_;
    bool closed_ = false;
    bool stopped_ = false;
    bool outOfMemory_ = false;
};

// The thread that decodes into `queue`: when it goes, however the conversion ended (an
// exception from the sink included), the queue is stopped and the thread waited for, so
// that it never outlives the queue or the reader it works for.
class DecodingThread
{
public:
    // Throws std::system_error when no thread can be had.
    template <class Work>
    DecodingThread(PictureQueue& queue, Work work) : queue_(queue), thread_(std::move(work))
    {
    }
    DecodingThread(const DecodingThread&) = delete;
    DecodingThread& operator=(const DecodingThread&) = delete;
    ~DecodingThread()
    {
        queue_.Stop();
        thread_.join();
    }

private:
    PictureQueue& queue_;
    std::thread thread_;
};

// Demultiplexes and decodes on a thread of its own (and the decoder's frame threads) while
// the calling thread converts the pictures and hands them to the sink, so that decoding
// goes on while a picture is converted and stored; the sink is called on the calling
// thread only.
class VideoReader
{
public:
    VideoReader(ImageSink& sink, int maxFrames) : delivery_(sink, maxFrames) {}

    bool Run(const QString& path)
    {
        if (!Open(path))
            return false;
        PictureQueue queue;
        std::optional<DecodingThread> decoding;
        try {
            decoding.emplace(queue, [this, &queue] { Decode(queue); });
        } catch (const std::system_error&) {
            return false; // no thread to be had
        }
        const bool converted = ConvertQueued(queue);
        decoding.reset(); // the decoding stopped and its thread gone
        if (!converted || queue.OutOfMemory())
            return false;
        delivery_.Finish(StreamEndMs());
        return true;
    }

private:
    bool Open(const QString& path)
    {
        // Named as a local file, and only the file protocol allowed: a media file (a
        // playlist, say) must not make the import fetch anything from elsewhere.
        const QByteArray url = "file:" + QFileInfo(path).absoluteFilePath().toUtf8();
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        AVFormatContext* raw = nullptr;
        const int opened = avformat_open_input(&raw, url.constData(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            return false;
        format_.reset(raw);
        if (avformat_find_stream_info(format_.get(), nullptr) < 0)
            return false;

        for (unsigned i = 0; i < format_->nb_streams && !stream_; ++i) {
            if (format_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
                stream_ = format_->streams[i];
        }
        if (!stream_)
            return false;
        const AVCodec* codec = avcodec_find_decoder(stream_->codecpar->codec_id);
        if (!codec)
            return false;
        decoder_.reset(avcodec_alloc_context3(codec));
        if (!decoder_ || avcodec_parameters_to_context(decoder_.get(), stream_->codecpar) < 0)
            return false;
        decoder_->pkt_timebase = stream_->time_base;
        timeBase_ = stream_->time_base;
        // As many decoding threads as the machine has cores: large videos decode several
        // times faster, and the flush at the end still hands over every picture.
        decoder_->thread_count = 0;
        if (avcodec_open2(decoder_.get(), codec, nullptr) < 0)
            return false;
        packet_.reset(av_packet_alloc());
        return bool(packet_);
    }

    // The decoding thread: every picture of the stream into `queue`, until the stream ends or
    // the queue is stopped; then closes the queue, whatever ended the decoding.
    void Decode(PictureQueue& queue)
    {
        bool memory = false;
        try {
            memory = DecodeInto(queue);
        } catch (const std::bad_alloc&) {
            // The queue had no room to grow: the reading fails as other want of memory does.
        }
        queue.Close(!memory);
    }

    // False when memory ran out.
    bool DecodeInto(PictureQueue& queue)
    {
        bool memory = true;
        while (memory && !queue.Stopped()) {
            if (av_read_frame(format_.get(), packet_.get()) < 0)
                break; // end of file, or a read error: deliver what was decoded
            const bool ours = packet_->stream_index == stream_->index;
            // A damaged packet is skipped: the decoder resumes at the next one.
            const bool sent = ours && avcodec_send_packet(decoder_.get(), packet_.get()) >= 0;
            av_packet_unref(packet_.get());
            if (sent)
                memory = Drain(queue);
        }
        // Flush: the decoder holds back its last pictures until told the input ended.
        if (memory && !queue.Stopped() && avcodec_send_packet(decoder_.get(), nullptr) >= 0)
            memory = Drain(queue);
        return memory;
    }

    // Queues every picture the decoder has ready. False when memory ran out.
    bool Drain(PictureQueue& queue)
    {
        for (;;) {
            FramePointer picture(av_frame_alloc());
            if (!picture)
                return false;
            const int received = avcodec_receive_frame(decoder_.get(), picture.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return true; // a picture that failed to decode; go on with the next
            if (!queue.Push(std::move(picture)))
                return true; // the sink has what it wants
        }
    }

    // The calling thread: converts the queued pictures and hands them on until the sink has
    // what it wants or the queue is closed and empty. False when memory ran out.
    bool ConvertQueued(PictureQueue& queue)
    {
        while (!delivery_.Done()) {
            const FramePointer picture = queue.Pop();
            if (!picture)
                return true;
            if (!Convert(*picture))
                return false;
        }
        return true;
    }

    // Converts the decoded picture and hands it on, scaled in the same pass to the size the
    // sink keeps it at: scaling the planes before the colour conversion costs a fraction of
    // converting every pixel of a large frame and scaling it afterwards.
    bool Convert(const AVFrame& frame)
    {
        const int w = frame.width;
        const int h = frame.height;
        if (w < 1 || h < 1 || frame.format == AV_PIX_FMT_NONE)
            return true; // nothing to show
        const QSize target = delivery_.TargetSize(QSize(w, h));
        if (target.isEmpty())
            return true;
        QImage& picture = delivery_.NextPicture(target);
        if (picture.isNull() || !converter_.Draw(frame, picture))
            return false;

        qint64 stamp = frame.pkt_dts;
        if (stamp == AV_NOPTS_VALUE)
            stamp = frame.pts;
        if (stamp == AV_NOPTS_VALUE)
            stamp = 0;
        delivery_.Put(av_rescale_q(stamp, timeBase_, kMilliseconds));
        return true;
    }

    // When the stream ends, on the time line of its time stamps; -1 when unknown.
    qint64 StreamEndMs() const
    {
        if (stream_->duration == AV_NOPTS_VALUE || stream_->duration <= 0)
            return -1;
        // Time stamps need not start at 0 (MPEG program streams start later), so the end
        // is the start plus the duration.
        const qint64 start = stream_->start_time == AV_NOPTS_VALUE ? 0 : stream_->start_time;
        return av_rescale_q(start + stream_->duration, stream_->time_base, kMilliseconds);
    }

    FrameDelivery delivery_;
    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecFreer> decoder_;
    std::unique_ptr<AVPacket, PacketFreer> packet_;
    PictureConverter converter_;
    // The decoding thread reads the stream's index while it runs; the calling thread reads
    // the stream only before it starts and after it ends, since the demuxer may update the
    // stream's fields as it reads.
    AVStream* stream_ = nullptr;
    // The stream's time base, for the calling thread's time stamps while the decoding runs.
    AVRational timeBase_{0, 1};
};

} // namespace

bool ReadVideoFrames(const QString& path, int maxFrames, ImageSink& sink)
{
    VideoReader reader(sink, maxFrames);
    return reader.Run(path);
}
