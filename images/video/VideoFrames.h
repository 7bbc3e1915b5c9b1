#pragma once

#include <QString>

class ImageSink;

// Decodes the first video stream of a file with FFmpeg into `sink`: at most `maxFrames`
// frames, each a Format_RGB32 picture of the size the sink prefers for the frame's size
// (ImageSink::PreferredSize: the store's size, say), shown until the next
// frame's time stamp (the last one until the end of the stream, or 0 ms when the stream
// does not say how long it is). Time stamps that go backwards give 0 ms, never a
// negative time. A sink's false ends the decoding. A sink that prefers an empty size is
// given no pictures: the stream is decoded, nothing converted (the decoder's own cost).
//
// False when the file cannot be opened or holds no decodable video stream, or when
// memory for a frame or the colour converter, or a thread to decode on, cannot be had;
// otherwise true, even when no frame could be delivered. Only local files are read (no
// network or other protocol).
//
// Threads: any thread; independent calls may run at once. The stream is decoded on
// threads of the reader's own, a few pictures ahead of the conversion; the sink is called
// on the calling thread only, and an exception it throws reaches the caller once those
// threads have stopped.
bool ReadVideoFrames(const QString& path, int maxFrames, ImageSink& sink);
