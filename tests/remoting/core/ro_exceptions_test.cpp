#include "remoting/core/ro_exceptions.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "remoting/core/initialization.h"
#include "remoting/core/ro_binary_memory_stream.h"

namespace vgl {

// A fault class of a service, with a class-level attribute of each origin.
class ETestFault : public EROException {
    VGL_CLASS(ETestFault, EROException)
    explicit ETestFault(String message) : EROException(std::move(message)) {}
    [[noreturn]] void Raise() const override { throw *this; }
    int GetAttributeCount() const override { return 2; }
    String GetAttributeName(int index) const override { return index == 0 ? u"Code" : u"namespace"; }
    String GetAttributeValue(int index) const override { return index == 0 ? u"42" : u"urn:override"; }
    void Assign(const EROException& source) override {
        EROException::Assign(source);
        if (auto* fault = dynamic_cast<const ETestFault*>(&source))
            Detail = fault->Detail;
    }
    String Detail;
};

VGL_DEFINE_CLASS(ETestFault) {
    b.ClassAttribute(u"ROCustomAttribute", u"namespace", u"urn:declared");
    b.ClassAttribute(u"ROCustomAttribute", u"soapname", u"TestFault");
}

// Asked for its attributes by many threads at once, before anyone else asked.
class EConcurrentFault : public EROException {
    VGL_CLASS(EConcurrentFault, EROException)
    explicit EConcurrentFault(String message) : EROException(std::move(message)) {}
    [[noreturn]] void Raise() const override { throw *this; }
};

VGL_DEFINE_CLASS(EConcurrentFault) {
    b.ClassAttribute(u"ROCustomAttribute", u"Name", u"Value");
}

namespace {

class ROExceptionsTest : public ::testing::Test {
protected:
    void SetUp() override { InitializeRemotingCore(); }
    void TearDown() override { FinalizeRemotingCore(); }
};

template <class F> String MessageOf(F&& raise) {
    try {
        raise();
    } catch (const Exception& e) {
        return e.ClassName() + u": " + e.Message();
    }
    return u"(nothing raised)";
}

TEST_F(ROExceptionsTest, EveryFamilyClassIsCreatedByNameWithItsMessage) {
    for (TClass cls : ROExceptionClasses()) {
        SCOPED_TRACE(StringToUtf8(cls->Name()));
        std::unique_ptr<Exception> e = CreateException(cls->Name(), u"boom 100%");
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ClassName(), cls->Name());
        EXPECT_EQ(e->Message(), u"boom 100%");
        EXPECT_TRUE(e->InheritsFrom(&EROException::StaticClassInfo()));
        // Raising a by-name exception throws its actual class.
        try {
            e->Raise();
        } catch (const EROException& raised) {
            EXPECT_EQ(raised.ClassName(), cls->Name());
        }
    }
}

TEST_F(ROExceptionsTest, FamilyTree) {
    struct Case {
        TClass cls;
        TClass parent;
    } cases[] = {
        {&EROServerException::StaticClassInfo(), &EROException::StaticClassInfo()},
        {&UnknownServiceMethodException::StaticClassInfo(), &EROUnknownServiceMethod::StaticClassInfo()},
        {&EROUnknownExceptionReceivedFromServer::StaticClassInfo(), &EROUnregisteredServerException::StaticClassInfo()},
        {&EROSessionExpired::StaticClassInfo(), &EROSessionNotFound::StaticClassInfo()},
        {&SessionNotFoundException::StaticClassInfo(), &EROSessionNotFound::StaticClassInfo()},
        {&EROUnknownType::StaticClassInfo(), &EROUnknownItem::StaticClassInfo()},
        {&EROException::StaticClassInfo(), &Exception::StaticClassInfo()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.cls->Parent(), c.parent) << StringToUtf8(c.cls->Name());
}

TEST_F(ROExceptionsTest, FaultNamesMapBackToRegisteredClasses) {
    const TClass unknown = &EROUnknownExceptionReceivedFromServer::StaticClassInfo();
    struct Case {
        const char16_t* name;
        TClass expected;
    } cases[] = {
        {u"EROUnknownType", &EROUnknownType::StaticClassInfo()},
        {u"sessionnotfoundexception", &SessionNotFoundException::StaticClassInfo()},
        {u"EBarcodeException", unknown},
        // Known to the class registry, but outside the family.
        {u"EConvertError", unknown},
        // Family classes that opt out of transfer by name.
        {u"EROException", unknown},
        {u"EROServerException", unknown},
        // A family class the class registry knows counts as filed in the default namespace.
        {u"EROChannelBusy", &EROChannelBusy::StaticClassInfo()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindExceptionClass(c.name), c.expected) << StringToUtf8(c.name);
}

TEST_F(ROExceptionsTest, NamespacesAreSearchedInOrderThenEverywhere) {
    const TClass fault = &ETestFault::StaticClassInfo();
    const TClass unknown = &EROUnknownExceptionReceivedFromServer::StaticClassInfo();
    EXPECT_EQ(FindExceptionClass(u"ETestFault"), unknown);
    RegisterExceptionClass(fault, u"urn:service");
    EXPECT_EQ(FindExceptionClass(u"ETestFault", {u"urn:other", u"urn:service"}), fault);
    EXPECT_EQ(FindExceptionClass(u"ETestFault"), fault);
    UnregisterExceptionClass(fault, u"urn:service");
    EXPECT_EQ(FindExceptionClass(u"ETestFault", {u"urn:service"}), unknown);
    UnregisterExceptionClass(fault, u"urn:never-used"); // nothing to remove
    EXPECT_THROW(RegisterExceptionClass(&EConvertError::StaticClassInfo()), EArgumentException);
}

TEST_F(ROExceptionsTest, UnknownServiceMethodReadsItsNamesFromTheMessage) {
    EROUnknownServiceMethod e(u"Foo", u"Bar");
    EXPECT_EQ(e.Message(), u"Unknown method Foo for interface Bar");
    EXPECT_EQ(e.MethodName(), u"Foo");
    EXPECT_EQ(e.ServiceName(), u"Bar");
    EXPECT_EQ(GetStrProp(e, u"MethodName"), u"Foo");

    // The same names come back after the exception travelled by name and message.
    std::unique_ptr<Exception> received = CreateException(u"UnknownServiceMethodException", e.Message());
    auto* typed = dynamic_cast<EROUnknownServiceMethod*>(received.get());
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->ServiceName(), u"Bar");

    e.SetMessage(u"Unknown method Foo of Bar");
    EXPECT_EQ(e.MethodName(), u"");
    EXPECT_EQ(e.ServiceName(), u"");
}

TEST_F(ROExceptionsTest, IncorrectUriHasADefaultMessage) {
    EXPECT_EQ(EROIncorrectUri(u"").Message(), u"URI can not be parsed");
    EXPECT_EQ(EROIncorrectUri(u"bad host").Message(), u"bad host");
    EXPECT_EQ(CreateException(u"EROIncorrectUri", u"")->Message(), u"URI can not be parsed");
}

TEST_F(ROExceptionsTest, RaisingOperations) {
    struct Case {
        const char* what;
        std::function<void()> raise;
        const char16_t* expected;
    } cases[] = {
        {"RaiseError formats", [] { RaiseError(u"Invalid index %d", {7}); }, u"EROException: Invalid index 7"},
        {"RaiseErrorOfClass",
         [] { RaiseErrorOfClass(u"Type \"%s\" not supported", {u"tkRecord"}, &EROUnknownType::StaticClassInfo()); },
         u"EROUnknownType: Type \"tkRecord\" not supported"},
        {"RaiseErrorOfClass with a class that is no exception",
         [] { RaiseErrorOfClass(u"x", {}, &TROBinaryMemoryStream::StaticClassInfo()); }, u"EROException: x"},
        {"RaiseErrorIf true", [] { RaiseErrorIf(true, u"%s!", {u"a"}); }, u"EROException: a!"},
        {"RaiseErrorIf false", [] { RaiseErrorIf(false, u"%s!", {u"a"}); }, u"(nothing raised)"},
        {"RaiseErrorOfClassIf", [] { RaiseErrorOfClassIf(true, u"m", {}, &EROChannelBusy::StaticClassInfo()); },
         u"EROChannelBusy: m"},
        // A plain message is used verbatim: "%" is no format character in it.
        {"RaiseErrorMessage", [] { RaiseErrorMessage(u"50% done, %s missing"); },
         u"EROException: 50% done, %s missing"},
        {"RaiseErrorMessageIf", [] { RaiseErrorMessageIf(true, u"100%"); }, u"EROException: 100%"},
        {"RaiseNotSupported", [] { RaiseNotSupported(u"IDispatch"); },
         u"ENotSupportedException: IDispatch Not Supported"},
        {"RaiseNotSupported empty", [] { RaiseNotSupported(); }, u"ENotSupportedException: Not Supported"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageOf(c.raise), c.expected) << c.what;
    EXPECT_FALSE(RaiseErrorMessageIf(false, u"%s"));
}

TEST_F(ROExceptionsTest, InvalidStreamQuotesTheStartOfTheStream) {
    auto messageFor = [](const std::string& bytes) {
        TMemoryStream stream;
        stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
        try {
            RaiseInvalidStream(u"Invalid %s", {u"envelope"}, stream);
        } catch (const EROInvalidStream& e) {
            EXPECT_EQ(stream.GetPosition(), std::min<std::int64_t>(std::int64_t(bytes.size()), 500));
            return e.Message();
        }
        return String(u"(nothing raised)");
    };
    EXPECT_EQ(messageFor(""), u"Invalid envelope\r\r");
    EXPECT_EQ(messageFor("<a>\n\r\t</a>"), u"Invalid envelope\r\r<a>.\r.</a>");
    // UTF-8 is decoded first: one character, one dot; other bytes are read as Windows-1252.
    EXPECT_EQ(messageFor("x\xC3\x84y"), u"Invalid envelope\r\rx.y");
    EXPECT_EQ(messageFor("x\xC3y"), u"Invalid envelope\r\rx.y");

    std::string big(10000, 'q');
    big[499] = 'E';
    big[500] = 'Z';
    const String m = messageFor(big);
    EXPECT_EQ(m.size(), std::size(u"Invalid envelope\r\r") - 1 + 500);
    EXPECT_EQ(m.back(), u'E');
}

TEST_F(ROExceptionsTest, ClassAttributesAreFoundWithoutRegardToCase) {
    const TClass fault = &ETestFault::StaticClassInfo();
    String value = u"stale";
    ASSERT_TRUE(EROException::TryGetAttribute(fault, u"SoapName", value));
    EXPECT_EQ(value, u"TestFault");
    ASSERT_TRUE(EROException::TryGetAttribute(fault, u"CODE", value));
    EXPECT_EQ(value, u"42");
    // The class's own pairs override its declared attributes of the same name.
    ASSERT_TRUE(EROException::TryGetAttribute(fault, u"Namespace", value));
    EXPECT_EQ(value, u"urn:override");
    EXPECT_FALSE(EROException::TryGetAttribute(fault, u"missing", value));
    EXPECT_EQ(value, u"");
    EXPECT_FALSE(EROException::TryGetAttribute(&EROException::StaticClassInfo(), u"code", value));
    EXPECT_FALSE(EROException::TryGetAttribute(&EConvertError::StaticClassInfo(), u"code", value));
}

TEST_F(ROExceptionsTest, ClassAttributesFromManyThreads) {
    std::atomic<int> found = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&found] {
            for (int i = 0; i < 100; ++i) {
                String value;
                if (EROException::TryGetAttribute(&EConcurrentFault::StaticClassInfo(), u"name", value) &&
                    value == u"Value")
                    ++found;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(found, 800);
}

TEST_F(ROExceptionsTest, CloneKeepsClassAndWhatAssignCopies) {
    ETestFault fault(u"failed");
    fault.Detail = u"disk full";
    std::unique_ptr<EROException> copy = fault.Clone();
    EXPECT_EQ(copy->ClassName(), u"ETestFault");
    EXPECT_EQ(copy->Message(), u"failed");
    EXPECT_EQ(dynamic_cast<ETestFault&>(*copy).Detail, u"disk full");

    EROSessionExpired expired(u"gone");
    EXPECT_EQ(expired.Clone()->ClassName(), u"EROSessionExpired");
}

TEST_F(ROExceptionsTest, ServerStackTraceIsAPublishedProperty) {
    EROServerException e(u"failed");
    EXPECT_EQ(e.ServerStackTrace(), u"");
    SetStrProp(e, u"ServerStackTrace", u"at Foo");
    EXPECT_EQ(e.ServerStackTrace(), u"at Foo");
}

} // namespace
} // namespace vgl
