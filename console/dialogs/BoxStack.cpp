#include "dialogs/BoxStack.h"

void BoxStack::reset(StackedWindow *mainWindow)
{
    m_mainWindow = mainWindow;
    m_slots = {nullptr};
}

int BoxStack::push(StackedBox *box)
{
    const int n = int(m_slots.size());
    m_slots.append(box);
    enableBelow(n, false);
    return n;
}

void BoxStack::CloseBox(int index)
{
    if (index < 1 || index > highestSlot())
        return;
    m_slots.resize(index);
    enableBelow(index, true);
}

void BoxStack::CloseAllBoxes()
{
    for (int slot = highestSlot(); slot >= 1; --slot) {
        // Closing a box may close others (it re-enters through CloseBox), so
        // each slot is looked at again as the loop comes down to it.
        if (slot > highestSlot())
            continue;
        if (StackedBox *b = m_slots.at(slot)) {
            b->BoxType(0);
            b->closeBox();
        }
        // A box that did not take itself off is taken off here, so the loop
        // always ends with slot 0 only.
        if (highestSlot() >= slot)
            CloseBox(slot);
    }
}

StackedBox *BoxStack::box(int slot) const
{
    return slot >= 1 && slot <= highestSlot() ? m_slots.at(slot) : nullptr;
}

StackedBox *BoxStack::topBox() const
{
    return box(highestSlot());
}

void BoxStack::enableBelow(int index, bool enabled)
{
    if (index == 1) {
        if (m_mainWindow)
            m_mainWindow->setStackEnabled(enabled);
    } else if (StackedBox *below = box(index - 1)) {
        below->setStackEnabled(enabled);
    }
}

BoxStack &boxStack()
{
    static BoxStack stack;
    return stack;
}
