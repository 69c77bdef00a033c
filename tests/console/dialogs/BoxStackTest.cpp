// The stack of prompt boxes: who is disabled while which box is open.
#include "dialogs/BoxStack.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

struct FakeWindow : StackedWindow {
    void setStackEnabled(bool on) override { enabled = on; }
    bool enabled = true;
};

struct FakeBox : StackedBox {
    FakeBox(BoxStack &stack, QStringList &events, QString name)
        : stack(stack), events(events), name(std::move(name)) {}
    void setStackEnabled(bool on) override { enabled = on; }
    void BoxType(quint8 value) override
    {
        kind = value;
        events << name + u":type"_qs + QString::number(value);
    }
    void closeBox() override
    {
        events << name + u":close"_qs;
        stack.CloseBox(index);
    }
    void bringToFront() override {}

    BoxStack &stack;
    QStringList &events;
    QString name;
    bool enabled = true;
    int index = 0;
    quint8 kind = 1;
};

class Stack : public ::testing::Test {
protected:
    FakeBox *open(const QString &name)
    {
        boxes.push_back(std::make_unique<FakeBox>(stack, events, name));
        boxes.back()->index = stack.push(boxes.back().get());
        return boxes.back().get();
    }

    BoxStack stack;
    FakeWindow main;
    QStringList events;
    std::vector<std::unique_ptr<FakeBox>> boxes;

    void SetUp() override { stack.reset(&main); }
};

TEST_F(Stack, FirstBoxDisablesTheMainWindowAndClosingEnablesIt)
{
    FakeBox *a = open(u"a"_qs);
    EXPECT_EQ(a->index, 1);
    EXPECT_FALSE(main.enabled);
    stack.CloseBox(1);
    EXPECT_TRUE(main.enabled);
    EXPECT_EQ(stack.highestSlot(), 0);
}

TEST_F(Stack, SecondBoxDisablesTheFirstOnly)
{
    FakeBox *a = open(u"a"_qs);
    FakeBox *b = open(u"b"_qs);
    EXPECT_EQ(b->index, 2);
    EXPECT_FALSE(main.enabled);
    EXPECT_FALSE(a->enabled);
    EXPECT_TRUE(b->enabled);
    EXPECT_EQ(stack.topBox(), b);

    stack.CloseBox(2);
    EXPECT_TRUE(a->enabled);
    EXPECT_FALSE(main.enabled) << "the lower box is still open";
    stack.CloseBox(1);
    EXPECT_TRUE(main.enabled);
}

TEST_F(Stack, CloseBoxOutsideTheStackDoesNothing)
{
    open(u"a"_qs);
    stack.CloseBox(0);
    stack.CloseBox(2);
    stack.CloseBox(-1);
    EXPECT_EQ(stack.highestSlot(), 1);
    EXPECT_FALSE(main.enabled);
}

TEST_F(Stack, CloseAllBoxesClosesTopFirstWithoutAnswers)
{
    open(u"a"_qs);
    open(u"b"_qs);
    open(u"c"_qs);
    stack.CloseAllBoxes();
    EXPECT_EQ(events, (QStringList{u"c:type0"_qs, u"c:close"_qs, u"b:type0"_qs, u"b:close"_qs,
                                   u"a:type0"_qs, u"a:close"_qs}));
    EXPECT_EQ(stack.highestSlot(), 0);
    EXPECT_TRUE(main.enabled);
}

TEST_F(Stack, CloseAllBoxesOnAnEmptyStackKeepsTheMainWindow)
{
    main.enabled = false;   // e.g. the settings dialog is open
    stack.CloseAllBoxes();
    EXPECT_FALSE(main.enabled);
    EXPECT_TRUE(events.isEmpty());
}

TEST_F(Stack, ResetLeavesSlotZeroOnly)
{
    open(u"a"_qs);
    stack.reset(&main);
    EXPECT_EQ(stack.highestSlot(), 0);
    EXPECT_EQ(stack.topBox(), nullptr);
    EXPECT_EQ(stack.box(1), nullptr);
}

} // namespace
