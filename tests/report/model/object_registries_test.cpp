#include "report/model/object_registries.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/rtl/reflection_builder.h"
#include "report/model/report_component.h"

namespace vgl {
namespace {

// Classes standing for data sets, dialog controls and views, recognised by class name.
class TfrxDataSet : public TfrxComponent {
    VGL_CLASS(TfrxDataSet, TfrxComponent)
    explicit TfrxDataSet(TComponent* owner) : TfrxComponent(owner) {}
};
class TTestDataSet : public TfrxDataSet {
    VGL_CLASS(TTestDataSet, TfrxDataSet)
    explicit TTestDataSet(TComponent* owner) : TfrxDataSet(owner) {}
};
class TfrxDialogControl : public TfrxComponent {
    VGL_CLASS(TfrxDialogControl, TfrxComponent)
    explicit TfrxDialogControl(TComponent* owner) : TfrxComponent(owner) {}
};
class TTestButton : public TfrxDialogControl {
    VGL_CLASS(TTestButton, TfrxDialogControl)
    explicit TTestButton(TComponent* owner) : TfrxDialogControl(owner) {}
};
class TTestMemo : public TfrxComponent {
    VGL_CLASS(TTestMemo, TfrxComponent)
    explicit TTestMemo(TComponent* owner) : TfrxComponent(owner) {}
};
class TTestRichMemo : public TTestMemo {
    VGL_CLASS(TTestRichMemo, TTestMemo)
    explicit TTestRichMemo(TComponent* owner) : TTestMemo(owner) {}
};
class TTestLateView : public TfrxComponent {
    VGL_CLASS(TTestLateView, TfrxComponent)
    explicit TTestLateView(TComponent* owner) : TfrxComponent(owner) {}
};
VGL_DEFINE_CLASS(TfrxDataSet) {}
VGL_DEFINE_CLASS(TTestDataSet) {}
VGL_DEFINE_CLASS(TfrxDialogControl) {}
VGL_DEFINE_CLASS(TTestButton) {}
VGL_DEFINE_CLASS(TTestMemo) {}
VGL_DEFINE_CLASS(TTestRichMemo) {}
VGL_DEFINE_CLASS(TTestLateView) {}

class TEditorA : public TfrxComponentEditor {
public:
    using TfrxComponentEditor::TfrxComponentEditor;
    String ClassName() const override { return u"TEditorA"; }
};
class TEditorB : public TfrxComponentEditor {
public:
    using TfrxComponentEditor::TfrxComponentEditor;
    String ClassName() const override { return u"TEditorB"; }
};
class TEditorC : public TfrxComponentEditor {
public:
    using TfrxComponentEditor::TfrxComponentEditor;
    String ClassName() const override { return u"TEditorC"; }
};
class TPropEditor : public TfrxPropertyEditor {
public:
    using TfrxPropertyEditor::TfrxPropertyEditor;
};
class TEventEditor : public TfrxPropertyEditor {
public:
    using TfrxPropertyEditor::TfrxPropertyEditor;
};

TEST(ObjectRegistries, ObjectsAndCategories) {
    TfrxObjectCollection objects;
    const TClass memo = &TTestMemo::StaticClassInfo();
    objects.RegisterObject(memo, nullptr);
    objects.RegisterObject(memo, nullptr); // same class and flags: one item
    EXPECT_EQ(objects.Count(), 1);
    objects.RegisterObject1(memo, nullptr, u"hint", {}, 2);
    EXPECT_EQ(objects.Count(), 2);
    objects.RegisterObject(&TTestDataSet::StaticClassInfo(), nullptr);
    objects.RegisterObject(&TTestButton::StaticClassInfo(), nullptr);
    objects.RegisterCategory(u"Barcode", nullptr, u"obBarC", 23);
    EXPECT_EQ(objects.GetObjectItem(0).Category, TfrxObjectCategories{ctReport});
    EXPECT_EQ(objects.GetObjectItem(2).Category, TfrxObjectCategories{ctData});
    EXPECT_EQ(objects.GetObjectItem(3).Category, TfrxObjectCategories{ctDialog});
    EXPECT_EQ(objects.GetObjectItem(4).ClassRef, nullptr);
    EXPECT_EQ(objects.GetObjectItem(4).ButtonImageIndex, 23);
    EXPECT_TRUE(objects.GetObjectItem(4).Category.Empty());
    EXPECT_EQ(GetClass(u"TTestMemo"), memo); // found by name after registration
    objects.Unregister(memo);
    EXPECT_EQ(objects.Count(), 3);
    EXPECT_THROW(objects.GetObjectItem(3), EListError);
}

TEST(ObjectRegistries, ComponentEditors) {
    TfrxComponentEditorCollection editors;
    editors.Register(&TfrxComponent::StaticClassInfo(), &MakeComponentEditor<TEditorA>);
    editors.Register(&TTestMemo::StaticClassInfo(), &MakeComponentEditor<TEditorB>);
    editors.Register(&TTestRichMemo::StaticClassInfo(), &MakeComponentEditor<TEditorC>);
    TTestRichMemo rich(nullptr);
    TTestMemo memo(nullptr);
    TTestButton button(nullptr);
    EXPECT_EQ(editors.GetComponentEditor(&rich, nullptr, nullptr)->ClassName(), u"TEditorC"); // its own
    EXPECT_EQ(editors.GetComponentEditor(&memo, nullptr, nullptr)->ClassName(), u"TEditorB");
    EXPECT_EQ(editors.GetComponentEditor(&button, nullptr, nullptr)->ClassName(), u"TEditorA");
    editors.UnRegister(&MakeComponentEditor<TEditorC>);
    // Two ancestor entries: the one registered last.
    EXPECT_EQ(editors.GetComponentEditor(&rich, nullptr, nullptr)->ClassName(), u"TEditorB");
    EXPECT_EQ(editors.GetComponentEditor(nullptr, nullptr, nullptr), nullptr);
}

TEST(ObjectRegistries, PropertyEditors) {
    TfrxPropertyEditorCollection props;
    static const TypeInfo notifyEvent = AliasTypeInfo(TypeInfoFor(TypeTag<int>{}), u"TfrxNotifyEvent");
    static const TypeInfo eventful = AliasTypeInfo(TypeInfoFor(TypeTag<int>{}), u"TfrxEventSource");
    const TypeInfo* text = &TypeInfoFor(TypeTag<String>{});
    props.Register(text, nullptr, {}, &MakePropertyEditor<TPropEditor>);           // 0: generic
    props.Register(text, nullptr, u"DataField", &MakePropertyEditor<TPropEditor>); // 1: by name
    props.Register(nullptr, &TTestMemo::StaticClassInfo(), u"Text", nullptr);      // 2: hides
    props.RegisterEventEditor(&MakePropertyEditor<TEventEditor>);                  // 3
    TTestRichMemo rich(nullptr);
    TTestButton button(nullptr);
    EXPECT_EQ(props.GetPropertyEditor(&notifyEvent, &rich, u"OnClick"), 3);
    EXPECT_EQ(props.GetPropertyEditor(&eventful, &rich, u"Source"), -1); // "event" not at the end
    EXPECT_EQ(props.GetPropertyEditor(text, &rich, u"Name"), 0);
    EXPECT_EQ(props.GetPropertyEditor(text, &rich, u"datafield"), 1);
    EXPECT_EQ(props.GetPropertyEditor(text, &rich, u"Text"), 2); // class-specific wins
    EXPECT_EQ(props.GetPropertyEditor(text, &button, u"Text"), 0);
    EXPECT_EQ(props.GetPropertyEditorItem(2).EditorClass, nullptr);
    props.UnRegister(&MakePropertyEditor<TPropEditor>);
    EXPECT_EQ(props.Count(), 2);
    EXPECT_EQ(props.EventEditorItem(), 1);
    EXPECT_EQ(props.GetPropertyEditor(text, &rich, u"Name"), -1);
}

TEST(ObjectRegistries, LateRegistrationWhileOthersRead) {
    TfrxObjectCollection& objects = GetObjectCollection();
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int t = 0; t < 8; ++t)
        readers.emplace_back([&] {
            while (!stop) {
                const int n = objects.Count();
                if (n > 0 && objects.GetObjectItem(n - 1).ClassRef)
                    GetClass(objects.GetObjectItem(n - 1).ClassRef->Name());
                GetClass(u"TTestLateView");
                std::this_thread::yield();
            }
        });
    for (int i = 0; i < 64; ++i) {
        objects.RegisterObject1(&TTestLateView::StaticClassInfo(), nullptr, {}, {}, std::uint16_t(i));
        objects.Count();
    }
    stop = true;
    for (std::thread& t : readers)
        t.join();
    EXPECT_GE(objects.Count(), 64);
    EXPECT_EQ(GetClass(u"TTestLateView"), &TTestLateView::StaticClassInfo());
    objects.Unregister(&TTestLateView::StaticClassInfo());
}

} // namespace
} // namespace vgl
