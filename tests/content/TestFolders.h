#pragma once

#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "link/feedback/Feedback.h"

#include <QStringList>
#include <memory>
#include <vector>

// A content with no data of its own.
class TestContent : public Content
{
public:
    explicit TestContent(const QString& name = {}, int address = 0, ContentFolder* parent = nullptr)
        : Content(parent)
    {
        SetName(name);
        SetAddress(address);
    }
    Content* Clone() override
    {
        auto* copy = new TestContent(GetName(), GetAddress());
        copy->SetKey(Key());
        return copy;
    }
    bool Load(const QString&) override { return false; }
    bool Save(const QString&) override { return false; }
    QString FileExtension() const override { return QStringLiteral("test"); }
};

// An in-memory folder that owns its children and changes them at once.
class TestFolder : public ContentFolder
{
public:
    explicit TestFolder(const QString& name = {}, int minAddress = 0, int maxAddress = 255,
                        ContentFolder* parent = nullptr)
        : ContentFolder(parent), min_(minAddress), max_(maxAddress)
    {
        SetName(name);
    }

    int ChildCount() const override
    {
        ContentLocker lock(&ContentMutex);
        return int(children_.size());
    }
    ContentBase* Child(int index) override
    {
        ContentLocker lock(&ContentMutex);
        return children_.at(std::size_t(index)).get();
    }
    const ContentBase* Child(int index) const override
    {
        ContentLocker lock(&ContentMutex);
        return children_.at(std::size_t(index)).get();
    }
    int MinAddress() override { return min_; }
    int MaxAddress() override { return max_; }
    void SetMaxAddress(int max) { max_ = max; }

    TestContent* AddContent(const QString& name, int address)
    {
        auto* content = new TestContent(name, address, this);
        Adopt(content);
        return content;
    }
    TestFolder* AddFolder(const QString& name, int address = 0)
    {
        auto* folder = new TestFolder(name, 0, 255, this);
        folder->SetAddress(address);
        Adopt(folder);
        return folder;
    }
    // Takes ownership; emits the matching signal under ContentMutex.
    void Adopt(ContentBase* child)
    {
        ContentLocker lock(&ContentMutex);
        child->SetParent(this);
        children_.emplace_back(child);
        if (auto* folder = qobject_cast<ContentFolder*>(child))
            emit FolderAdded(this, folder);
        else
            emit ContentAdded(this, static_cast<Content*>(child));
    }

    bool CreateFolder(const QString& name, int address, int, IFeedback* feedback) override
    {
        if (Conflicts(name, address))
            return Refuse(feedback, QStringLiteral("Folder %1 exists").arg(name));
        AddFolder(name, address);
        if (feedback)
            feedback->Finished(FeedbackSuccess);
        return true;
    }
    bool AcceptsContent(const Content*) override { return true; }
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override
    {
        for (ContentBase* child : children)
            Adopt(child);
        if (feedback)
            feedback->Finished(FeedbackSuccess);
        return true;
    }
    bool ModifyChild(ContentBase*, const QString&, int, IFeedback* feedback) override
    {
        return Refuse(feedback, QString::fromLatin1(kNotModifiableText));
    }
    bool MoveHere(ContentBase*, IFeedback* feedback) override { return Refuse(feedback, "no moves"); }
    bool RemoveChild(ContentBase*, IFeedback* feedback) override { return Refuse(feedback, "no removal"); }

    // Import hooks that record what they were asked.
    QList<Content*> ImportFile(const QString& path) override
    {
        imported << path;
        return {new TestContent(QStringLiteral("probe"))};
    }
    QList<Content*> ImportFileFor(QWidget* parent, const QString& path) override
    {
        imported << path;
        importParent = parent;
        return {new TestContent(QStringLiteral("real")), new TestContent(QStringLiteral("real2"))};
    }
    QStringList imported;
    QWidget* importParent = nullptr;

private:
    std::vector<std::unique_ptr<ContentBase>> children_;
    int min_;
    int max_;
};

// Records every feedback call.
class RecordingFeedback : public IFeedback
{
public:
    void AddString(QString text, FeedbackStatus status) override { lines.append({text, status}); }
    void SetTotal(int) override {}
    void SetCurrent(int) override {}
    void Finished(FeedbackResult result) override { results.append(result); }
    bool IsCancelled() override { return false; }

    QList<QPair<QString, FeedbackStatus>> lines;
    QList<FeedbackResult> results;
};
