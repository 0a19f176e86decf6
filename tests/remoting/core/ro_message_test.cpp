#include "remoting/core/ro_message.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/initialization.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/ro_url_schema.h"

namespace vgl {

/// Integers only: writes are recorded, reads come from a queue (an empty queue fails).
class TIntSerializer : public TROSerializer {
public:
    void WriteInteger(const String& aName, TOrdType, std::int64_t Ref, int) override {
        Log.push_back(u"write " + aName + u"=" + IntToStr(Ref));
    }
    void ReadInteger(const String& aName, TOrdType, std::int64_t& Ref, int) override {
        if (Queue.empty())
            throw EConvertError(u"'%s' is not a valid integer value", {String(u"x")});
        Ref = Queue.front();
        Queue.pop_front();
        Log.push_back(u"read " + aName);
    }
    std::vector<String> Log;
    std::deque<std::int64_t> Queue;
};

std::atomic<int> LiveMessages{0};

class TTestMessage : public TROMessage {
    VGL_CLASS(TTestMessage, TROMessage)
    explicit TTestMessage(TComponent* aOwner = nullptr) : TROMessage(aOwner) { ++LiveMessages; }
    ~TTestMessage() override { --LiveMessages; }
    TIntSerializer& Ints() { return static_cast<TIntSerializer&>(GetSerializer()); }
    std::unique_ptr<Exception> ReadException() override {
        return Fault.empty() ? nullptr : CreateException(FaultClass, Fault);
    }
    String FaultClass;
    String Fault;

protected:
    std::unique_ptr<TROSerializer> CreateSerializer() override { return std::make_unique<TIntSerializer>(); }
};

VGL_DEFINE_CLASS(TTestMessage) {}

/// A message class without a table of its own cannot be cloned.
class TTablelessMessage : public TTestMessage {};

class EMessageTestFault : public EROException {
    VGL_CLASS(EMessageTestFault, EROException)
    explicit EMessageTestFault(String message) : EROException(std::move(message)) {}
    [[noreturn]] void Raise() const override { throw *this; }
};

VGL_DEFINE_CLASS(EMessageTestFault) {}

class TTestRttiReader : public TROBaseRTTIRODLReader {
    VGL_CLASS(TTestRttiReader, TROBaseRTTIRODLReader)
    explicit TTestRttiReader(TComponent* aOwner) : TROBaseRTTIRODLReader(aOwner) {}

protected:
    void DoReadRODLResource(TStream&, const String&) override {}
};

VGL_DEFINE_CLASS(TTestRttiReader) {}

class TPlainReader : public TROCustomRODLReader {
public:
    explicit TPlainReader(TComponent* aOwner) : TROCustomRODLReader(aOwner) {}

protected:
    void DoReadRODLResource(TStream&, const String&) override {}
};

namespace {

class ROMessageTest : public ::testing::Test {
protected:
    void SetUp() override { InitializeRemotingCore(); }
    void TearDown() override { FinalizeRemotingCore(); }
};

const TypeInfo& IntType() {
    return TypeInfoFor(TypeTag<std::int32_t>{});
}

TEST_F(ROMessageTest, FaultsBecomeExceptionsOfTheFiledClass) {
    TTestMessage message;
    std::unique_ptr<Exception> e = message.CreateException(u"ENoSuchFault", u"disk full");
    EXPECT_EQ(e->ClassType(), &EROUnknownExceptionReceivedFromServer::StaticClassInfo());
    EXPECT_EQ(e->Message(), u"An exception was raised on the server: disk full");
    message.SetAddServerExceptionPrefix(false);
    EXPECT_EQ(message.CreateException(u"ENoSuchFault", u"disk full")->Message(), u"disk full");
    // A class filed in a namespace is found through the message's namespace list.
    RegisterExceptionClass(&EMessageTestFault::StaticClassInfo(), u"urn:labels");
    message.SetDefaultNamespaces(u"urn:other;urn:labels");
    EXPECT_EQ(message.CreateException(u"EMessageTestFault", u"x")->ClassType(), &EMessageTestFault::StaticClassInfo());
    UnregisterExceptionClass(&EMessageTestFault::StaticClassInfo(), u"urn:labels");
}

TEST_F(ROMessageTest, ExceptionFilingLivesInTheTypeRegistry) {
    const TClass fault = &EMessageTestFault::StaticClassInfo();
    TStringList nameSpaces;
    nameSpaces.Add(u"urn:labels");
    RegisterExceptionClass(fault, u"urn:labels");
    EXPECT_EQ(FindExceptionClass(u"EMessageTestFault", {u"urn:labels"}), fault);
    EXPECT_EQ(RttiFindExceptionClass(u"emessagetestfault", &nameSpaces), fault);
    EXPECT_EQ(GetRttiClientCache()->GetExceptionClass(u"EMessageTestFault", &nameSpaces), fault);
    UnregisterExceptionClass(fault, u"urn:labels");
    EXPECT_EQ(FindExceptionClass(u"EMessageTestFault", {u"urn:labels"}),
              &EROUnknownExceptionReceivedFromServer::StaticClassInfo());
    EXPECT_EQ(RttiFindExceptionClass(u"EMessageTestFault", &nameSpaces),
              &EROUnknownExceptionReceivedFromServer::StaticClassInfo());
    EXPECT_EQ(GetRttiClientCache()->GetExceptionClass(u"EMessageTestFault", &nameSpaces), nullptr);
}

TEST_F(ROMessageTest, ProcessExceptionRaisesUnlessTheHandlerDeclines) {
    TTestMessage message;
    message.ProcessException(); // no fault: nothing
    message.FaultClass = u"EROSessionNotFound";
    message.Fault = u"gone";
    EXPECT_THROW(message.ProcessException(), EROSessionNotFound);
    String seen;
    message.OnServerException = [&](Exception& e, bool& raise) {
        seen = e.Message();
        raise = false;
    };
    EXPECT_NO_THROW(message.ProcessException());
    EXPECT_EQ(seen, u"An exception was raised on the server: gone");
    TROMessage base(nullptr);
    EXPECT_THROW(base.ProcessException(), EAbstractError);
}

/// Records which objects the exception hands over.
class TObjectRecorder : public TROSerializer {
public:
    void ReadObject(TObject* obj) override { Read = obj; }
    void WriteObject(const TObject* obj) override { Written = obj; }
    TObject* Read = nullptr;
    const TObject* Written = nullptr;
};

TEST_F(ROMessageTest, ExceptionsStreamThemselvesThroughTheSerializer) {
    EMessageTestFault fault(u"x");
    TObjectRecorder recorder;
    fault.WriteException(recorder);
    fault.ReadException(recorder);
    EXPECT_EQ(recorder.Written, &fault);
    EXPECT_EQ(recorder.Read, &fault);
}

TEST_F(ROMessageTest, NamespaceListFollowsTheConfiguredText) {
    TTestMessage message;
    message.SetNamespaceList(u"urn:a;urn:b");
    EXPECT_EQ(message.DefaultNamespacesList().Count(), 2);
    message.SetDefaultNamespaces(u"urn:c");
    message.SetNamespaceList(u"urn:d;urn:e");
    ASSERT_EQ(message.DefaultNamespacesList().Count(), 1);
    EXPECT_EQ(message.DefaultNamespacesList().Get(0), u"urn:c");
    EXPECT_EQ(message.Ints().DefaultNamespaces(), &message.DefaultNamespacesList());
}

TEST_F(ROMessageTest, ParameterEventsFireAroundTheSerializer) {
    TTestMessage message;
    std::vector<String> events;
    message.OnWriteMessageParameter = [&](TROMessage* m, const String& name, const TypeInfo&, TROValue& v,
                                          TParamAttributes) {
        events.push_back(u"event " + name + u" log=" +
                         IntToStr(std::int64_t(static_cast<TTestMessage*>(m)->Ints().Log.size())));
        v.Ord = 7; // the event may change the value before it is written
    };
    message.OnReadMessageParameter = [&](TROMessage*, const String& name, const TypeInfo&, TROValue& v,
                                         TParamAttributes) {
        events.push_back(u"read " + name + u"=" + IntToStr(v.Ord));
    };
    TROValue value;
    value.Ord = 5;
    message.Write(u"Count", IntType(), value);
    EXPECT_EQ(events, (std::vector<String>{u"event Count log=0"}));
    EXPECT_EQ(message.Ints().Log.back(), u"write Count=7");
    events.clear();
    try {
        message.Read(u"Count", IntType(), value);
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.ClassType(), &EROException::StaticClassInfo());
        EXPECT_EQ(e.Message(), u"Error reading parameter Count: 'x' is not a valid integer value");
    }
    EXPECT_TRUE(events.empty());
    message.Ints().Queue.push_back(9);
    message.Read(u"Count", IntType(), value);
    EXPECT_EQ(events, (std::vector<String>{u"read Count=9"}));
}

TEST_F(ROMessageTest, RttiParametersCarryTheTValueAttribute) {
    TTestMessage message;
    std::vector<String> events;
    auto record = [&](const char16_t* kind) {
        return [&, kind](TROMessage*, const String& name, const TypeInfo&, TROValue&, TParamAttributes a) {
            events.push_back(String(kind) + name + (a == TParamAttributes{paIsTValue} ? u" tvalue" : u" other"));
        };
    };
    message.OnWriteMessageParameter = record(u"write ");
    message.OnReadMessageParameter = record(u"read ");
    TROValue value;
    RttiWriteParameter(message, u"A", IntType(), value);
    try {
        RttiReadParameter(message, u"B", IntType(), value);
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Error reading parameter B: 'x' is not a valid integer value");
    }
    message.Ints().Queue.push_back(3);
    RttiReadParameter(message, u"C", IntType(), value);
    EXPECT_EQ(value.Ord, 3);
    EXPECT_EQ(events, (std::vector<String>{u"write A tvalue", u"read C tvalue"}));
}

TEST_F(ROMessageTest, InitializeStoresNamesAndFiresEvents) {
    TTestMessage message;
    std::vector<String> events;
    message.OnInitializeMessage = [&](TROMessage*, const std::shared_ptr<IROTransport>&, const String& i,
                                      const String& m) {
        events.push_back(i + u"." + m + u" was " + message.GetMessageName());
    };
    message.OnFinalizeMessage = [&](TROMessage*) { events.push_back(u"finalized"); };
    message.InitializeRequestMessage(nullptr, u"Lib", u"LabelService", u"Render");
    message.Finalize();
    EXPECT_EQ(message.GetInterfaceName(), u"LabelService");
    EXPECT_EQ(message.GetMessageName(), u"Render");
    EXPECT_EQ(events, (std::vector<String>{u"LabelService.Render was ", u"finalized"}));
    EXPECT_EQ(message.GetMessageType(), 0);
}

class TFakeTransportEx : public IROHTTPTransportEx {
public:
    TObject* GetTransportObject() override { return nullptr; }
    String GetClientAddress() override { return {}; }
    void SetHeader(const String& n, const String& v) override { Calls.push_back(u"header " + n + u"=" + v); }
    String GetHeader(const String&) override { return {}; }
    String GetContentType() override { return {}; }
    void SetContentType(const String& v) override { Calls.push_back(u"content type " + v); }
    String GetUserAgent() override { return Agent; }
    void SetUserAgent(const String& v) override {
        Agent = v;
        Calls.push_back(u"agent " + v);
    }
    String GetTargetUrl() override { return {}; }
    void SetTargetUrl(const String&) override {}
    void SetPathInfo(const String&) override {}
    String GetPathInfo() override { return {}; }
    String GetQueryString() override { return {}; }
    String GetLocation() override { return {}; }
    String GetQueryParameter(const String&) override { return {}; }
    bool GetCanUseContentEncoding() override { return false; }
    void SetCanUseContentEncoding(bool v) override { Calls.push_back(v ? u"encoding on" : u"encoding off"); }
    std::vector<String> Calls;
    String Agent;
};

class TSoapLikeMessage : public TTestMessage {
    VGL_CLASS(TSoapLikeMessage, TTestMessage)
    explicit TSoapLikeMessage(TComponent* aOwner = nullptr) : TTestMessage(aOwner) {}
    void InitializeContentType(const std::shared_ptr<IROTransport>&, const String&, const String&,
                               const String&) override {
        fhttp_ContentType = u"text/xml; charset=utf-8";
    }
};

VGL_DEFINE_CLASS(TSoapLikeMessage) {}

TEST_F(ROMessageTest, TransportInfoWaitsForTheHeaderList) {
    TSoapLikeMessage message;
    auto transport = std::make_shared<TFakeTransportEx>();
    message.InitializeContentType(transport, u"", u"", u"");
    message.WriteTransportInfo(transport);
    EXPECT_TRUE(transport->Calls.empty());
    message.GetHttpHeaders().Add(u"SOAPAction=\"urn:x#Render\"");
    message.GetHttpHeaders().Add(u"X-Empty=");
    message.Initialize(transport, u"S", u"Render", 0);
    message.WriteTransportInfo(transport);
    EXPECT_EQ(transport->Calls,
              (std::vector<String>{u"header SOAPAction=\"urn:x#Render\"", u"header X-Empty=", u"encoding on",
                                   u"content type text/xml; charset=utf-8", u"agent Remoting SDK"}));
    transport->Calls.clear();
    message.WriteTransportInfo(transport); // the agent name is set only while empty
    EXPECT_EQ(transport->Calls.back(), u"content type text/xml; charset=utf-8");
    // A plain HTTP transport (without the extension) gets nothing.
    message.WriteTransportInfo(std::make_shared<TFakeTransportEx>());
}

TEST_F(ROMessageTest, ClonesCopyTheConfigurationAndFreeThemselvesOnce) {
    const int before = LiveMessages.load();
    TComponent owner(nullptr);
    auto* configured = new TTestMessage(&owner);
    TPlainReader reader(nullptr);
    configured->SetRODLReader(&reader);
    configured->SetDefaultNamespaces(u"urn:labels");
    configured->SetMaxStringSize(1000);
    configured->SetAddServerExceptionPrefix(false);
    TROMessageEnvelope envelope(nullptr);
    configured->Envelopes().Add()->SetEnvelope(&envelope);
    int finalized = 0;
    configured->OnFinalizeMessage = [&](TROMessage*) { ++finalized; };

    std::shared_ptr<IROMessage> clone = configured->Clone();
    auto* message = dynamic_cast<TTestMessage*>(clone.get());
    ASSERT_NE(message, nullptr);
    EXPECT_NE(message, configured);
    EXPECT_TRUE(message->ReferenceCounted());
    EXPECT_FALSE(configured->ReferenceCounted());
    EXPECT_EQ(message->RODLReader(), &reader);
    EXPECT_EQ(message->DefaultNamespaces(), u"urn:labels");
    EXPECT_EQ(message->MaxStringSize(), 1000);
    EXPECT_EQ(message->Ints().MaxStringSize(), 1000);
    EXPECT_FALSE(message->AddServerExceptionPrefix());
    EXPECT_EQ(message->Envelopes().GetEnvelope(0)->Envelope(), &envelope);
    EXPECT_FALSE(IsEqualGUID(message->GetClientID(), configured->GetClientID()));
    clone->Finalize();
    EXPECT_EQ(finalized, 1);
    EXPECT_TRUE(std::dynamic_pointer_cast<IROModuleInfo>(clone));
    EXPECT_EQ(LiveMessages.load(), before + 2);

    // Released on other threads; the last release frees it once.
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([copy = clone]() mutable { copy.reset(); });
    clone.reset();
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(LiveMessages.load(), before + 1);

    TTablelessMessage tableless;
    EXPECT_THROW(tableless.Clone(), EROException);
}

TEST_F(ROMessageTest, AssignRefusesOtherClasses) {
    TTestMessage message;
    message.Assign(nullptr);
    TSoapLikeMessage derived;
    derived.SetDefaultNamespaces(u"urn:x");
    message.Assign(&derived); // a descendant is an instance of the class
    EXPECT_EQ(message.DefaultNamespaces(), u"urn:x");
    try {
        derived.Assign(&message);
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Cannot Assign a TSoapLikeMessage to a TTestMessage");
    }
}

TEST_F(ROMessageTest, ReadersAreUnlinkedWhenTheyGo) {
    TTestMessage message;
    {
        TPlainReader reader(nullptr);
        message.SetRODLReader(&reader);
        EXPECT_EQ(message.RODLReader(), &reader);
    }
    EXPECT_EQ(message.RODLReader(), nullptr);
}

TEST_F(ROMessageTest, RttiReaderComesFromTheProcessWideClass) {
    TTestMessage message;
    EXPECT_EQ(GetRttiRODLReader(message), nullptr);
    EXPECT_THROW(SetRttiRODLReaderClass(&TTestMessage::StaticClassInfo()), EArgumentException);
    SetRttiRODLReaderClass(&TTestRttiReader::StaticClassInfo());
    TPlainReader base(nullptr);
    message.SetRODLReader(&base);
    TROCustomRODLReader* reader = GetRttiRODLReader(message);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->Owner(), &message);
    EXPECT_EQ(static_cast<TTestRttiReader*>(reader)->BaseRODLReader(), &base);
    EXPECT_EQ(GetRttiRODLReader(message), reader);
    SetRttiRODLReaderClass(nullptr);
}

TEST_F(ROMessageTest, MessageClassesAndUrlSchemes) {
    RegisterMessageClass(&TTestMessage::StaticClassInfo());
    RegisterMessageClass(&TTestMessage::StaticClassInfo());
    const std::vector<TClass> classes = MessageClasses();
    EXPECT_EQ(std::count(classes.begin(), classes.end(), &TTestMessage::StaticClassInfo()), 1);
    EXPECT_EQ(GetClass(u"TTestMessage"), &TTestMessage::StaticClassInfo());
    UnRegisterClass(&TTestMessage::StaticClassInfo());

    TROUrlSchemaParser* parser = UrlSchemaParser();
    ASSERT_NE(parser, nullptr);
    parser->SetMessageHandler(u"soap", &TTestMessage::StaticClassInfo());
    EXPECT_EQ(parser->MessageHandler(u"SOAP"), &TTestMessage::StaticClassInfo());
    EXPECT_EQ(parser->MessageHandler(u"bin"), nullptr);
    parser->SetMessageHandler(u"Soap", &TSoapLikeMessage::StaticClassInfo());
    EXPECT_EQ(parser->MessageHandler(u"soap"), &TSoapLikeMessage::StaticClassInfo());
    FinalizeRemotingCore();
    EXPECT_EQ(UrlSchemaParser(), nullptr);
    InitializeRemotingCore();
    EXPECT_EQ(UrlSchemaParser()->MessageHandler(u"soap"), nullptr);
}

} // namespace
} // namespace vgl
