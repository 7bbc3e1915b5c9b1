#pragma once

#include "content/policies/PolicyFolder.h"

#include <QString>

#include <memory>
#include <vector>

class BrevantImage;

// A folder of fixed children, for the pictures of the README and the benchmarks: it owns
// what it is given and shows it as a library folder would, and it refuses every change (a
// picture or a measurement needs no editing). GUI thread.
class ShowcaseFolder : public ContentPolicyFolder
{
    Q_OBJECT
public:
    // `policy` null: the PolicyBase answers.
    explicit ShowcaseFolder(const QString& name, int address = 0, PolicyBase* policy = nullptr,
                            ShowcaseFolder* parent = nullptr);
    ~ShowcaseFolder() override;

    // Takes `child`, which belongs to no folder, as the last child.
    void Adopt(ContentBase* child);
    // A new sub-folder, the last child.
    ShowcaseFolder* AddFolder(const QString& name, int address);

    int ChildCount() const override;
    ContentBase* Child(int index) override;
    const ContentBase* Child(int index) const override;
    bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) override;
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
    bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) override;
    bool MoveHere(ContentBase* child, IFeedback* feedback) override;
    bool RemoveChild(ContentBase* child, IFeedback* feedback) override;

private:
    std::vector<std::unique_ptr<ContentBase>> children_;
};

// A first-family image of `frames` frames of `durationMs` each: bands of colour that run
// round the face, one step a frame, in colours picked by `seed`, so that images of other
// seeds look apart.
std::unique_ptr<BrevantImage> ShowcaseImage(const QString& name, int address, int frames, int durationMs, int seed);
