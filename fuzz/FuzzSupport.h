#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: the process set-up, the scratch folder, the seed corpus
// and the check that turns a broken promise into a finding.
//
// A target defines the three functions of `fuzz_target`; FuzzSupport.cpp holds libFuzzer's
// entry points and calls them. Run with VELMORA_FUZZ_SEEDS=<folder>, a target writes its
// seed corpus there (made by the program's own writers) and exits: the build does that.
namespace fuzz_target {
// Once, before the first input (the QCoreApplication exists then).
void Setup();
// The seed inputs, through fuzz::Seed.
void WriteSeeds();
// One input.
void Run(const std::uint8_t* data, std::size_t size);
} // namespace fuzz_target

namespace fuzz {

// A folder of this process on tmpfs where available, made once.
QString Scratch();
// `name` in Scratch().
QString ScratchPath(const QString& name);
// Writes a whole file (folders made); aborts when it cannot, as nothing could be tested.
void WriteFile(const QString& path, const QByteArray& bytes);
// Removes everything in Scratch() but keeps the folder.
void ClearScratch();

// Adds one input to the seed corpus being written.
void Seed(const QString& name, const QByteArray& bytes);

// A promise of the code under test: a finding (abort, with `what` on stderr) when false.
void Require(bool holds, const char* what);

// Reads an input front to back; past its end every read gives zeros.
class Input
{
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return position_ >= size_; }
    std::size_t Left() const { return Empty() ? 0 : size_ - position_; }
    std::uint8_t Byte();
    std::uint16_t U16();
    // The next `count` bytes (fewer at the end).
    QByteArray Bytes(std::size_t count);
    // A length-prefixed chunk: one byte of length, then that many bytes.
    QByteArray Chunk();
    QByteArray Rest();

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Builds a seed in the Input's forms.
class InputWriter
{
public:
    InputWriter& Byte(std::uint8_t value);
    InputWriter& U16(std::uint16_t value);
    InputWriter& Bytes(const QByteArray& bytes);
    InputWriter& Chunk(const QByteArray& bytes);
    const QByteArray& Data() const { return data_; }

private:
    QByteArray data_;
};

} // namespace fuzz
