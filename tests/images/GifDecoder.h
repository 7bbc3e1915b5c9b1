#pragma once

#include <QByteArray>
#include <QRgb>
#include <QString>

#include <optional>
#include <vector>

// A GIF file as an independent decoder (giflib) reads it, for checking what the
// exporter wrote.
struct DecodedGifFrame {
    int width = 0;
    int height = 0;
    std::vector<quint8> indices;
    int delayCs = 0;
    int disposal = 0;
    int transparentIndex = -1; // -1: none
};

struct DecodedGif {
    int width = 0;
    int height = 0;
    int background = 0;
    std::vector<QRgb> table;
    // The NETSCAPE2.0 loop count (0 = for ever); empty without the extension.
    std::optional<int> loopCount;
    std::vector<DecodedGifFrame> frames;
};

// Empty when giflib cannot read the file; `error` then says why.
std::optional<DecodedGif> DecodeGif(const QString& path, QString* error = nullptr);
