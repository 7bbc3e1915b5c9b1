// The parallel gzip compressor: what it writes inflates to what it was given, whatever the
// sizes against its blocks, and a sink that fails fails it.

#include "library/archive/ParallelGzipWriter.h"
#include "tests/library/archive/ArchiveTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

using ArchiveLibInterface::ParallelGzipWriter;

namespace {

// Inflates a whole gzip file (zlib checks its header, CRC and size): the bytes, or
// "<invalid>" when it is not one gzip member with nothing behind it.
QByteArray Gunzip(const QByteArray& gzip)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return "<invalid>";
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gzip.constData()));
    stream.avail_in = uInt(gzip.size());
    QByteArray plain;
    char buffer[65536];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        plain.append(buffer, qsizetype(sizeof buffer - stream.avail_out));
    }
    const bool whole = result == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    return whole ? plain : QByteArray("<invalid>");
}

QByteArray Compress(const QByteArray& input, int threads, qint64 blockSize, qint64 piece)
{
    QByteArray output;
    ParallelGzipWriter writer(
        [&output](const char* data, qint64 length) {
            output.append(data, length);
            return true;
        },
        threads, blockSize);
    for (qint64 done = 0; done < input.size(); done += piece)
        EXPECT_TRUE(writer.Write(input.constData() + done, qMin(piece, input.size() - done)));
    EXPECT_TRUE(writer.Finish());
    return output;
}

QByteArray Repetitive(int size)
{
    QByteArray bytes;
    bytes.reserve(size);
    while (bytes.size() < size)
        bytes.append("a frame of an LED image, again and again; ");
    bytes.truncate(size);
    return bytes;
}

TEST(ParallelGzipWriter, WhatItWritesInflatesToItsInput)
{
    constexpr qint64 kBlock = ParallelGzipWriter::kDefaultBlockSize;
    for (const qint64 size : {qint64(0), qint64(1), kBlock - 1, kBlock, kBlock + 1, 9 * kBlock + 12345}) {
        for (const bool random : {true, false}) {
            SCOPED_TRACE(testing::Message() << size << (random ? " random" : " repetitive"));
            const QByteArray input = random ? archive_test::RandomBytes(int(size)) : Repetitive(int(size));
            const QByteArray output = Compress(input, 3, kBlock, 10240);
            EXPECT_EQ(Gunzip(output), input);
            if (!random && size > kBlock) {
                EXPECT_LT(output.size(), size / 20); // the blocks reach back into each other
            }
        }
    }
}

TEST(ParallelGzipWriter, BlocksSmallerThanTheDictionaryAndOneThread)
{
    const QByteArray input = Repetitive(300000) + archive_test::RandomBytes(50000);
    for (const int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(Gunzip(Compress(input, threads, 1000, 777)), input);
    }
}

TEST(ParallelGzipWriter, AFailingSinkFailsTheWriter)
{
    int calls = 0;
    ParallelGzipWriter writer([&calls](const char*, qint64) { return ++calls < 2; }, 2, 4096);
    const QByteArray input = archive_test::RandomBytes(100000);
    bool written = true;
    for (qint64 done = 0; done < input.size() && written; done += 1000)
        written = writer.Write(input.constData() + done, 1000);
    EXPECT_FALSE(written && writer.Finish());
    EXPECT_FALSE(writer.Write("x", 1));
    EXPECT_FALSE(writer.Finish());
}

} // namespace
