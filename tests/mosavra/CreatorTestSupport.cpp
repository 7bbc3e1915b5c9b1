#include "tests/mosavra/CreatorTestSupport.h"

#include "link/ui/Preferences.h"
#include "mosavra/TemplateFile.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace creator_testing {
namespace {

Qt::MouseButtons heldButtons;

void SendMouse(QWidget* canvas, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers)
{
    QMouseEvent event(type, at, canvas->mapToGlobal(at), button, buttons, modifiers);
    QApplication::sendEvent(canvas, &event);
}

} // namespace

void Press(QWidget* canvas, QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    heldButtons = button;
    SendMouse(canvas, QEvent::MouseButtonPress, at, button, heldButtons, modifiers);
}

void MoveHeld(QWidget* canvas, QPointF to, Qt::KeyboardModifiers modifiers)
{
    SendMouse(canvas, QEvent::MouseMove, to, Qt::NoButton, heldButtons, modifiers);
}

void Hover(QWidget* canvas, QPointF to)
{
    SendMouse(canvas, QEvent::MouseMove, to, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
}

void Release(QWidget* canvas, QPointF at, Qt::KeyboardModifiers modifiers)
{
    const Qt::MouseButtons released = heldButtons;
    heldButtons = Qt::NoButton;
    SendMouse(canvas, QEvent::MouseButtonRelease, at, Qt::MouseButton(int(released)), Qt::NoButton, modifiers);
}

void Drag(QWidget* canvas, QPointF from, QPointF to)
{
    Press(canvas, from);
    MoveHeld(canvas, (from + to) / 2);
    MoveHeld(canvas, to);
    Release(canvas, to);
}

void Click(QWidget* canvas, QPointF at, Qt::KeyboardModifiers modifiers)
{
    Press(canvas, at, Qt::LeftButton, modifiers);
    Release(canvas, at, modifiers);
}

PopupMenuDriver::PopupMenuDriver()
{
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
}

void PopupMenuDriver::Choose(const QString& text)
{
    choices_.push_back(text);
}

void PopupMenuDriver::Poll()
{
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu)
        return;
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->text();
    seen_.push_back(texts);
    QAction* chosen = nullptr;
    if (!choices_.empty()) {
        for (QAction* action : menu->actions()) {
            if (action->text() == choices_.front())
                chosen = action;
        }
        choices_.pop_front();
    }
    if (chosen) {
        menu->setActiveAction(chosen);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(menu, &enter);
    } else {
        menu->close();
    }
}

QString MakePicture(const QString& folder, const QString& name, QSize size, const std::function<void(QImage&)>& paint)
{
    QImage picture(size, QImage::Format_RGB32);
    if (paint) {
        paint(picture);
    } else {
        picture.fill(Qt::blue);
        QPainter painter(&picture);
        painter.fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    }
    const QString path = QDir(folder).filePath(name);
    EXPECT_TRUE(picture.save(path)) << qPrintable(path);
    return path;
}

void ChooseFileInNextDialog(testing_env::ModalDialogDriver& driver, const QString& path)
{
    driver.Then<QFileDialog>([path](QFileDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Select Mosavra Media");
        EXPECT_EQ(d->nameFilters(),
                  (QStringList{"Media Files (*.png *.jpg *.bmp *.tif *.gif *.mpg *.mpeg *.mov)", "All Files (*.*)"}));
        d->selectFile(path);
        QMetaObject::invokeMethod(d, "accept");
    });
}

CreatorTest::CreatorTest()
{
    QDir::setSearchPaths(QStringLiteral("ContentLibraryRoot"), {library_.path()});
    Preferences::SetFolder(preferences_.path());
}

CreatorTest::~CreatorTest()
{
    dialog_.reset();
    Preferences::SetFolder(QString());
}

MosavraDialog& CreatorTest::Open()
{
    dialog_ = std::make_unique<MosavraDialog>();
    return *dialog_;
}

QString CreatorTest::TemplatesPath() const
{
    return QDir(library_.path()).filePath(QStringLiteral("templates.xml"));
}

QByteArray CreatorTest::TemplatesText() const
{
    QFile file(TemplatesPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void CreatorTest::WriteTemplatesText(const QByteArray& text) const
{
    QFile file(TemplatesPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

void CreatorTest::ClickButton(const char* name)
{
    QPushButton* button = Widget<QPushButton>(name);
    ASSERT_TRUE(button);
    ASSERT_TRUE(button->isEnabled()) << name;
    button->click();
}

MosavraTypes::Template* CreatorTest::AddTemplate(MosavraTypes::FixtureFamily family)
{
    testing_env::ModalDialogDriver driver;
    driver.Then<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
    ClickButton(family == MosavraTypes::kCindral ? "addCindralTemplateButton" : "addBrevantTemplateButton");
    return dialog_->CurrentTemplate();
}

void CreatorTest::SelectTemplateRow(int row)
{
    auto* view = Widget<QListView>("templateView");
    view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

} // namespace creator_testing
