#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QTest>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <gtest/gtest.h>

// What the image dialogs' tests share: finding a dialog's controls and reading its pictures.

// The child `name` of type T; a failed expectation (and null) when there is none.
template <typename T>
T* Child(const QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// The child of type T (a button) that shows `text`; a failed expectation (and null) when
// there is none.
template <typename T>
T* WithText(const QWidget* parent, const QString& text)
{
    for (T* child : parent->findChildren<T*>())
        if (child->text() == text)
            return child;
    ADD_FAILURE() << "nothing shows " << text.toStdString();
    return nullptr;
}

// The picture a label shows now (null when it shows none).
inline QImage Shown(const QWidget* parent, const char* label)
{
    const QLabel* picture = Child<QLabel>(parent, label);
    if (!picture)
        return {};
    return picture->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}

// A picture of `size` in four quadrants of different colours, so that any frame sampled
// from it has colour.
inline QImage QuadrantPicture(QSize size, QRgb a = qRgb(200, 40, 40), QRgb b = qRgb(40, 200, 40),
                              QRgb c = qRgb(40, 40, 200), QRgb d = qRgb(220, 220, 60))
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const bool right = x >= size.width() / 2;
            const bool bottom = y >= size.height() / 2;
            picture.setPixel(x, y, bottom ? (right ? d : c) : (right ? b : a));
        }
    return picture;
}

inline QImage SolidPicture(QSize size, QRgb colour)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

// Clicks a button with the mouse: near its left edge, where a radio button's indicator is
// (a radio button stretched by its layout takes no click beyond its text).
inline void Click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

// Expects two LED images of one family to hold the same frames, palette and indices.
template <class Image>
void ExpectSameImage(const Image& actual, const Image& expected)
{
    ASSERT_EQ(actual.FrameCount(), expected.FrameCount());
    for (int f = 0; f < expected.FrameCount(); ++f)
        EXPECT_TRUE(*actual.GetFrame(f) == *expected.GetFrame(f)) << "frame " << f;
    for (int i = 0; i < 256; ++i)
        EXPECT_TRUE(actual.GetPaletteColor(i) == expected.GetPaletteColor(i)) << "palette entry " << i;
    EXPECT_EQ(actual.GetTransparentIndex(), expected.GetTransparentIndex());
    EXPECT_EQ(actual.GetBackgroundIndex(), expected.GetBackgroundIndex());
}
