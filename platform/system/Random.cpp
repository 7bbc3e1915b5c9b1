#include "platform/system/Random.h"

#include <QRandomGenerator>

#include <array>
#include <cerrno>
#include <sys/random.h>

bool FillRandom(void* buffer, std::size_t size)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = getrandom(bytes + done, size - done, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            // The kernel generator is unavailable: Qt's system generator reads the same
            // entropy through another path, which is still far better than nothing.
            for (std::size_t i = done; i < size; ++i)
                bytes[i] = static_cast<unsigned char>(QRandomGenerator::system()->generate());
            return false;
        }
        done += std::size_t(got);
    }
    return true;
}

quint32 GenerateRandom()
{
    // Every image made, loaded or cloned draws a key: one call to the kernel fills a batch
    // of them for the thread that asks.
    thread_local std::array<quint32, 64> batch;
    thread_local std::size_t next = batch.size();
    if (next == batch.size()) {
        FillRandom(batch.data(), sizeof batch);
        next = 0;
    }
    return batch[next++];
}
