#pragma once

#include "mosavra/MosavraDialog.h"
#include "tests/common/ModalDialogDriver.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class QFileDialog;

namespace creator_testing {

// The widgets of a creator window by their object names.
template <typename T>
T* Find(const QWidget* window, const char* name)
{
    T* child = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Sends the canvas mouse events as a person's hand makes them: a press, moves with the
// button held, a release; each with the keyboard modifiers given.
void Press(QWidget* canvas, QPointF at, Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void MoveHeld(QWidget* canvas, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Hover(QWidget* canvas, QPointF to);
void Release(QWidget* canvas, QPointF at, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Press, a move through the middle, the end point, release.
void Drag(QWidget* canvas, QPointF from, QPointF to);
// A left click without motion.
void Click(QWidget* canvas, QPointF at, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Answers the pop-up menus the code under test opens with exec(), one step per menu:
// records each menu's action texts, then chooses the action of the given text (or none,
// closing the menu). Menus that no step expects are closed and recorded too, so a test
// can show that no menu appeared without ever blocking.
class PopupMenuDriver
{
public:
    PopupMenuDriver();

    void Choose(const QString& text);
    // The action texts of every menu seen, in order.
    const std::vector<QStringList>& Seen() const { return seen_; }

private:
    void Poll();

    QTimer timer_;
    std::deque<QString> choices_;
    std::vector<QStringList> seen_;
};

// A picture file of `size` filled by `paint` (left half red, right half blue by default).
QString MakePicture(const QString& folder, const QString& name, QSize size,
                    const std::function<void(QImage&)>& paint = {});

// Chooses `path` in the file dialog that the next step opens, checking its caption.
void ChooseFileInNextDialog(testing_env::ModalDialogDriver& driver, const QString& path);

// A creator window over temporary folders: the user library (with templates.xml), the
// preferences and the media. Everything it writes stays in them.
class CreatorTest : public testing::Test
{
protected:
    CreatorTest();
    ~CreatorTest() override;

    // Opens the window (after the test has prepared templates.xml, if it wants).
    MosavraDialog& Open();
    MosavraDialog& Dialog() { return *dialog_; }
    MosavraWidget* Canvas() { return dialog_->Canvas(); }
    QString TemplatesPath() const;
    QString MediaFolder() const { return media_.path(); }
    QByteArray TemplatesText() const;
    void WriteTemplatesText(const QByteArray& text) const;
    template <typename T>
    T* Widget(const char* name)
    {
        return Find<T>(dialog_.get(), name);
    }
    void ClickButton(const char* name);
    // Adds a template of `family` through its button; answers a copy question with No.
    MosavraTypes::Template* AddTemplate(MosavraTypes::FixtureFamily family);
    // Selects the template of `row` in the list as a click would.
    void SelectTemplateRow(int row);

    QTemporaryDir library_;
    QTemporaryDir preferences_;
    QTemporaryDir media_;
    std::unique_ptr<MosavraDialog> dialog_;
};

} // namespace creator_testing
