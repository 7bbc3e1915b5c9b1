#include "tests/images/GifDecoder.h"

#include <QFile>
#include <gif_lib.h>

namespace {

// Looks for the NETSCAPE2.0 application extension and its loop sub-block.
std::optional<int> FindLoopCount(const ExtensionBlock* blocks, int count)
{
    for (int i = 0; i + 1 < count; ++i) {
        const ExtensionBlock& app = blocks[i];
        if (app.Function != APPLICATION_EXT_FUNC_CODE || app.ByteCount != 11 ||
            QByteArray(reinterpret_cast<const char*>(app.Bytes), 11) != "NETSCAPE2.0")
            continue;
        const ExtensionBlock& sub = blocks[i + 1];
        if (sub.Function == CONTINUE_EXT_FUNC_CODE && sub.ByteCount == 3 && sub.Bytes[0] == 1)
            return sub.Bytes[1] | (sub.Bytes[2] << 8);
    }
    return std::nullopt;
}

} // namespace

std::optional<DecodedGif> DecodeGif(const QString& path, QString* error)
{
    int status = 0;
    GifFileType* gif = DGifOpenFileName(QFile::encodeName(path).constData(), &status);
    if (!gif) {
        if (error)
            *error = QString::fromLatin1(GifErrorString(status));
        return std::nullopt;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        if (error)
            *error = QString::fromLatin1(GifErrorString(gif->Error));
        DGifCloseFile(gif, &status);
        return std::nullopt;
    }
    DecodedGif result;
    result.width = gif->SWidth;
    result.height = gif->SHeight;
    result.background = gif->SBackGroundColor;
    if (gif->SColorMap) {
        for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
            const GifColorType& c = gif->SColorMap->Colors[i];
            result.table.push_back(qRgb(c.Red, c.Green, c.Blue));
        }
    }
    result.loopCount = FindLoopCount(gif->ExtensionBlocks, gif->ExtensionBlockCount);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        if (!result.loopCount)
            result.loopCount = FindLoopCount(image.ExtensionBlocks, image.ExtensionBlockCount);
        DecodedGifFrame frame;
        frame.width = image.ImageDesc.Width;
        frame.height = image.ImageDesc.Height;
        frame.indices.assign(image.RasterBits, image.RasterBits + std::size_t(frame.width) * frame.height);
        GraphicsControlBlock control;
        if (DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK) {
            frame.delayCs = control.DelayTime;
            frame.disposal = control.DisposalMode;
            frame.transparentIndex = control.TransparentColor;
        }
        result.frames.push_back(std::move(frame));
    }
    DGifCloseFile(gif, &status);
    return result;
}
