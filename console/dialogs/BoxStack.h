// boxStack: the open prompt boxes, stacked. Slot 0 is never a box; slot k
// holds the k-th open box (1 the lowest). Only the top box can be used: each
// box disables the window below it (the main window under slot 1) and
// enables it again as it leaves.
//
// One stack serves the program (boxStack()); the main window resets it at
// start-up. The stack owns no window: a box removes itself with CloseBox as
// it closes.
#pragma once

#include <QList>
#include <QPointer>
#include <QtGlobal>

// What the stack needs of the window below the first box.
class StackedWindow {
public:
    virtual ~StackedWindow() = default;
    virtual void setStackEnabled(bool enabled) = 0;
};

// What the stack needs of a prompt box.
class StackedBox : public StackedWindow {
public:
    // BoxType(0) turns the box into a plain message, so closing it answers
    // nothing.
    virtual void BoxType(quint8 value) = 0;
    // Closes the box as its close box would; the box calls CloseBox itself.
    virtual void closeBox() = 0;
    virtual void bringToFront() = 0;
};

class BoxStack {
public:
    // Slot 0 only; `mainWindow` is enabled and disabled under slot 1 (may be
    // nullptr in tests of the stack alone). The window must outlive its use
    // or be replaced by another reset.
    void reset(StackedWindow *mainWindow);

    // OpenBox's steps 1 and 2: puts `box` into slot n = highest + 1 and
    // disables the window below it. Returns n.
    int push(StackedBox *box);

    // Takes slot `index` off: the stack shrinks to index - 1 and the window
    // below is enabled. Indexes outside 1..highest do nothing.
    void CloseBox(int index);

    // Closes every box, top first, without answers; ends with slot 0 only
    // and the main window enabled.
    void CloseAllBoxes();

    int highestSlot() const { return int(m_slots.size()) - 1; }
    int boxCount() const { return highestSlot(); }
    StackedBox *box(int slot) const;
    StackedBox *topBox() const;

private:
    void enableBelow(int index, bool enabled);

    StackedWindow *m_mainWindow = nullptr;
    QList<StackedBox *> m_slots{nullptr};
};

// The program's stack.
BoxStack &boxStack();
