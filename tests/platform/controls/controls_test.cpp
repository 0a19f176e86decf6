#include "platform/controls/controls.h"

#include <gtest/gtest.h>

#include "platform/controls/dialogs.h"

namespace vgl {

TEST(Controls, ClassesHaveTheirAncestorsAndAnOwner) {
    TForm form(nullptr);
    auto* button = new TButton(&form);
    auto* list = new TListBox(&form);
    EXPECT_EQ(form.ComponentCount(), 2);
    EXPECT_TRUE(button->InheritsFrom(&TWinControl::StaticClassInfo()));
    EXPECT_TRUE(list->InheritsFrom(&TCustomListBox::StaticClassInfo()));
    EXPECT_TRUE(form.InheritsFrom(&TScrollingWinControl::StaticClassInfo()));
    EXPECT_EQ(ClassNameOf(TLabel::StaticClassInfo().Parent()), u"TControl");
    EXPECT_EQ(ClassNameOf(TSaveDialog::StaticClassInfo().Parent()), u"TCommonDialog");
    // Made through the class table under an owner, as stored forms and scripts make them.
    TObject& made = TComboBox::StaticClassInfo().CreateComponent(form);
    EXPECT_EQ(made.ClassName(), u"TComboBox");
}

TEST(Controls, AnchorsArePublishedWithLeftAndTopByDefault) {
    TEdit edit(nullptr);
    EXPECT_EQ(GetOrdProp(edit, u"Anchors"), 3);
    SetOrdProp(edit, u"Anchors", 5);
    EXPECT_EQ(edit.Anchors(), (TAnchors{akLeft, akRight}));
    EXPECT_EQ(GetSetProp(edit, u"Anchors"), u"akLeft,akRight");
}

TEST(Controls, OneApplicationForTheProcess) {
    EXPECT_EQ(&Application(), &Application());
    EXPECT_EQ(Application().ClassName(), u"TApplication");
}

} // namespace vgl
