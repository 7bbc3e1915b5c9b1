#pragma once

#include <QDialog>

#include <array>

class LEDImageAccess;

// How much one palette entry is used: LEDs over all frames, and frames that use it at all.
struct PaletteUse {
    int pixels = 0;
    int frames = 0;
    friend bool operator==(const PaletteUse&, const PaletteUse&) = default;
};

// The use of every palette entry of `image`.
std::array<PaletteUse, 256> PaletteUsage(const LEDImageAccess& image);

// Lists an LED image's 256 palette entries, used or not: index, the colour as "rr gg bb"
// on that colour, and how many LEDs and frames use it. Read-only; GUI thread; run it with
// exec(). The image is only read while the dialog is built.
class ImagePaletteDialog : public QDialog
{
    Q_OBJECT
public:
    ImagePaletteDialog(QWidget* parent, const LEDImageAccess& image, const QString& title);
};
