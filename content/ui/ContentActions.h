#pragma once

#include <QAction>
#include <QList>
#include <QPointer>

#include <functional>

class Content;
class ContentBase;
class ContentFolder;

// The content menu actions. Each carries its target and runs itself when triggered; next to
// each stands IsApplicable, with which the menus decide whether to offer it for a
// selection. An action changes nothing itself: it asks the user (name, address, file,
// confirmation), then calls one change of the target's folder or runs a content operation
// in an operation dialog. Every window it opens has the action's parentWidget() as parent.
//
// Targets are held as QPointers and checked again after every dialog: a discovery may drop
// a fixture, and its content with it, while a dialog is open. A target gone by then ends
// the action without a change.
//
// GUI thread.
class SelfExecutingAction : public QAction
{
    Q_OBJECT
public:
    SelfExecutingAction(const QString& text, QObject* parent);

    // The dialogs' parent: the widget the action was made for (its parent), if any.
    QWidget* parentWidget() const;

public slots:
    virtual void execute();
};

// An action over a list of nodes, held weakly.
class ContentListAction : public SelfExecutingAction
{
    Q_OBJECT
public:
    ContentListAction(const QString& text, QObject* parent, const QList<ContentBase*>& items);
    // The items still alive, in order.
    QList<ContentBase*> Items() const;

private:
    QList<QPointer<ContentBase>> items_;
};

class ContentBaseRenameAction : public SelfExecutingAction
{
    Q_OBJECT
public:
    ContentBaseRenameAction(QObject* parent, ContentBase* item);
    static bool IsApplicable(ContentBase* item);
public slots:
    void execute() override;

private:
    QPointer<ContentBase> item_;
};

class ContentBaseRenumberAction : public SelfExecutingAction
{
    Q_OBJECT
public:
    ContentBaseRenumberAction(QObject* parent, ContentBase* item);
    static bool IsApplicable(ContentBase* item);
public slots:
    void execute() override;

private:
    QPointer<ContentBase> item_;
};

// "Autoset All DMX" / "Autoset DMX": gives the items free addresses.
class ContentBaseAutosetAction : public ContentListAction
{
    Q_OBJECT
public:
    ContentBaseAutosetAction(QObject* parent, bool all, const QList<ContentBase*>& items);
    static bool IsApplicable(const QList<ContentBase*>& items);
public slots:
    void execute() override;
};

// "Reset All DMX" / "Reset DMX": takes the items' addresses away.
class ContentBaseResetAction : public ContentListAction
{
    Q_OBJECT
public:
    ContentBaseResetAction(QObject* parent, bool all, const QList<ContentBase*>& items);
    static bool IsApplicable(const QList<ContentBase*>& items);
public slots:
    void execute() override;
};

class ContentBaseCopyAction : public ContentListAction
{
    Q_OBJECT
public:
    ContentBaseCopyAction(QObject* parent, const QList<ContentBase*>& items);
    static bool IsApplicable(const QList<ContentBase*>& items);
public slots:
    void execute() override;
};

class ContentBaseCutAction : public ContentListAction
{
    Q_OBJECT
public:
    ContentBaseCutAction(QObject* parent, const QList<ContentBase*>& items);
    static bool IsApplicable(const QList<ContentBase*>& items);
public slots:
    void execute() override;
};

class ContentBaseRemoveAction : public ContentListAction
{
    Q_OBJECT
public:
    ContentBaseRemoveAction(QObject* parent, const QList<ContentBase*>& items);
    static bool IsApplicable(const QList<ContentBase*>& items);
public slots:
    void execute() override;
};

class ContentFolderPasteAction : public SelfExecutingAction
{
    Q_OBJECT
public:
    ContentFolderPasteAction(QObject* parent, ContentFolder* folder);
    static bool IsApplicable(ContentFolder* folder);
public slots:
    void execute() override;

private:
    QPointer<ContentFolder> folder_;
};

// "New <kind>": a sub-folder of the folder's kind `kind`. On a Mosavra package it opens
// the Mosavra creator instead, and is offered only while one is installed.
class ContentFolderNewAction : public SelfExecutingAction
{
    Q_OBJECT
public:
    ContentFolderNewAction(QObject* parent, ContentFolder* folder, int kind);
    static bool IsApplicable(ContentFolder* folder, int kind);

    // Installs the Mosavra creator, opened modally over the given parent; an empty
    // function removes it.
    static void SetMosavraCreator(std::function<void(QWidget*)> creator);
    // The installed creator; empty when there is none.
    static std::function<void(QWidget*)> InstalledMosavraCreator();

public slots:
    void execute() override;

private:
    QPointer<ContentFolder> folder_;
    int kind_;
};

class ContentFolderExportAction : public SelfExecutingAction
{
    Q_OBJECT
public:
    ContentFolderExportAction(QObject* parent, ContentFolder* folder);
    static bool IsApplicable(ContentFolder* folder);
public slots:
    void execute() override;

private:
    QPointer<ContentFolder> folder_;
};

class ContentFolderImportAction : public SelfExecutingAction
{
    Q_OBJECT
public:
    ContentFolderImportAction(QObject* parent, ContentFolder* folder);
    static bool IsApplicable(ContentFolder* folder);
public slots:
    void execute() override;

private:
    QPointer<ContentFolder> folder_;
};

class ExportToGIFAction : public SelfExecutingAction
{
    Q_OBJECT
public:
    ExportToGIFAction(QObject* parent, Content* item);
    static bool IsApplicable(Content* item);
public slots:
    void execute() override;

private:
    QPointer<Content> item_;
};

// Asks where to save a file: a save dialog titled "Select a location to save" in the folder
// remembered under "content_export" (the home folder at first), proposing `proposedName`.
// A name typed without the suffix of `filter` gets it, and a file that exists under the
// answered path is replaced only when the user agreed. A chosen file's folder (absolute) is
// remembered; the answer is the path to write, empty when cancelled.
QString AskSaveFileName(QWidget* parent, const QString& filter, const QString& proposedName);
