// The one way the user-interface thread changes a docking tree that render threads may be
// reading: every write to a tree's cells and properties made on that thread runs inside a
// UiWrite of the tree.
//
// A UiWrite advances the render generation of the tree's root, so that a render in progress
// stops at its next checkpoint, and then holds the root's render lock until it ends, waiting for
// it while handling the messages sent to the thread (the render that holds the lock may be
// waiting for the answer to one of them). No render of the tree runs during the change, and none
// that started before it presents.
//
// A change made inside the handler of a message that the render holding the root's lock has sent
// (and is waiting on) proceeds without the lock: that render is paused in its send, and waiting
// for it would never end (a skin switch loads a nested dialog's layout inside such a message).
// Such a change of contents (a cell's text, a style) is what the render asked for and it goes on
// with it; a change of structure (a reset, a nested docking deleted, cells swapped) also advances
// the generation, and the render stops as soon as its send returns.
//
// Renders send through RenderSend, which records the send in the lock and checks the generation
// as soon as the answer is back; they hold nothing else across it.
#pragma once

#include <memory>
#include <vector>

#include <windows.h>

namespace System::Docking {

class CDocking;
class CRenderLock;
class IRenderable;
struct RenderContext;

class UiWrite {
public:
    enum Kind {
        // Values of existing cells and dockings.
        Contents,
        // Cells, nested dockings and links made, removed or moved.
        Structure,
    };

    // A change of the tree that holds that node (a docking or a cell).
    explicit UiWrite(IRenderable& anyNodeOfTheTree, Kind kind = Contents);
    // A change of the docking taken as a root of its own, whatever tree holds it now: its own
    // lock, which a render of it holds that started while it was a root.
    struct OwnTree {};
    UiWrite(CDocking& docking, OwnTree, Kind kind = Structure);
    ~UiWrite();
    UiWrite(const UiWrite&) = delete;
    UiWrite& operator=(const UiWrite&) = delete;

    // The root docking whose lock the change holds (or would hold).
    CDocking* Root() const { return root_; }
    // The change runs inside a send of the render that holds the lock, without the lock.
    bool InsideRenderSend() const { return insideSend_; }

private:
    void Hold(Kind kind);

    CDocking* root_ = nullptr;
    CRenderLock* held_ = nullptr;
    bool insideSend_ = false;
};

// A change that may move dockings from one tree to another: a cell that takes or gives up a window
// (whose docking it then hosts, or no longer hosts), a docking that takes a window or is reset for
// one. The trees whose root changes are found by the nodes and windows added, before the change;
// each is a change of structure (UiWrite) held until the move ends: the tree that holds a node now,
// and every docking concerned taken as a root of its own. So a render of a docking that started
// while it was a root has ended (or stops at its next checkpoint) before the docking joins another
// tree, and a render of the tree it leaves no longer reads it: from then on the docking's new
// root's lock alone guards it.
class TreeMove {
public:
    TreeMove() = default;
    ~TreeMove();
    TreeMove(const TreeMove&) = delete;
    TreeMove& operator=(const TreeMove&) = delete;

    // The node's tree, and a docking also as a root of its own.
    void Add(IRenderable& node);
    // What the window belongs to: the renderable registered for it (a cell hosting it, or its own
    // docking) and the docking bound to it (null: nothing).
    void AddWindow(HWND window);

private:
    std::vector<std::unique_ptr<UiWrite>> writes_;
};

// The root docking of the tree that holds the node.
CDocking* RootOf(IRenderable& node);

// A render's message to a window of the tree: sent while the render lock records it, then the
// render's generation is checked (CheckRenderGeneration: throws when the tree changed meanwhile).
LRESULT RenderSend(const RenderContext& context, HWND window, UINT message, WPARAM wParam,
                   LPARAM lParam);

}  // namespace System::Docking
