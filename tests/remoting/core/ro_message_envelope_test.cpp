#include "remoting/core/ro_message_envelope.h"

#include <gtest/gtest.h>

#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_message.h"

namespace vgl {
namespace {

/// A message that only frames: no serializer is ever asked for.
class TFramingMessage : public TROMessage {
public:
    TFramingMessage() : TROMessage(nullptr) {}
};

std::string Bytes(TMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.Memory()), size_t(s.GetSize()));
}

void Put(TMemoryStream& s, const std::string& bytes) {
    s.SetSize(0);
    s.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    s.SetPosition(0);
}

TEST(ROMessageEnvelopeTest, HeaderIsSignatureLengthAndMarker) {
    TROMessageEnvelope envelope(nullptr);
    envelope.SetEnvelopeMarker(u"AB");
    TFramingMessage message;
    message.Envelopes().Add()->SetEnvelope(&envelope);
    TMemoryStream s;
    Put(s, "payload");
    message.WriteToStream(s);
    EXPECT_EQ(Bytes(s), std::string("\x52\x4F\x45\x4E\x56\x02\x41\x42", 8) + "payload");
    EXPECT_EQ(s.GetPosition(), 0);
}

TEST(ROMessageEnvelopeTest, MarkersAreCutToWholeCharactersWithin255Bytes) {
    TROMessageEnvelope envelope(nullptr);
    EXPECT_EQ(envelope.EnvelopeMarker().size(), 38u); // a new GUID's text
    envelope.SetEnvelopeMarker(String(300, u'x'));
    EXPECT_EQ(envelope.EnvelopeMarker(), String(255, u'x'));
    envelope.SetEnvelopeMarker(String(100, u'\u20AC')); // three bytes each
    EXPECT_EQ(envelope.EnvelopeMarker(), String(85, u'\u20AC'));
    EXPECT_EQ(envelope.EnvelopeMarkerBytes().size(), 255u);
    String pairs;
    for (int i = 0; i < 70; ++i)
        pairs += u"\U0001F600"; // four bytes each: 63 fit
    envelope.SetEnvelopeMarker(pairs);
    EXPECT_EQ(envelope.EnvelopeMarker(), pairs.substr(0, 126));
    envelope.SetEnvelopeMarker(u"");
    EXPECT_EQ(envelope.EnvelopeMarker().size(), 38u);
    EXPECT_EQ(envelope.EnvelopeMarker()[0], u'{');
}

TEST(ROMessageEnvelopeTest, CheckForEnvelopeNeedsMoreThanSixBytes) {
    TMemoryStream s;
    String marker = u"unchanged";
    Put(s, std::string("ROENV\0", 6));
    EXPECT_FALSE(TROMessage::CheckForEnvelope(s, marker));
    EXPECT_EQ(s.GetPosition(), 0);
    Put(s, std::string("ROENV\0x", 7));
    EXPECT_TRUE(TROMessage::CheckForEnvelope(s, marker));
    EXPECT_EQ(marker, u"");
    EXPECT_EQ(s.GetPosition(), 6);
    // A length beyond the stream's end, and a fifth byte other than "V", are no header.
    Put(s, std::string("ROENV\x05"
                       "ab",
                       8));
    EXPECT_FALSE(TROMessage::CheckForEnvelope(s, marker));
    EXPECT_EQ(s.GetPosition(), 0);
    Put(s, "ROENX\x01"
           "ab");
    EXPECT_FALSE(TROMessage::CheckForEnvelope(s, marker));
    EXPECT_EQ(s.GetPosition(), 0);
    const std::uint8_t data[] = {'R', 'O', 'E', 'N', 'V', 0};
    EXPECT_TRUE(TROMessage::HasEnvelope(data, 6));
    EXPECT_FALSE(TROMessage::HasEnvelope(data, 5));
}

TEST(ROMessageEnvelopeTest, LayersAreAppliedInOrderAndRemovedOutermostFirst) {
    TROMessageEnvelope a(nullptr);
    a.SetEnvelopeMarker(u"A");
    TROMessageEnvelope b(nullptr);
    b.SetEnvelopeMarker(u"B");
    TFramingMessage writer;
    writer.Envelopes().Add()->SetEnvelope(&a);
    writer.Envelopes().Add()->SetEnvelope(&b);
    // Disabled items and items without envelope add nothing.
    TROMessageEnvelopeItem* off = writer.Envelopes().Add();
    off->SetEnvelope(&a);
    off->SetEnabled(false);
    writer.Envelopes().Add();
    std::vector<String> order;
    writer.OnBeforeProcessOutgoingEnvelopes = [&](TStream&) { order.push_back(u"before"); };
    writer.OnAfterProcessOutgoingEnvelopes = [&](TStream&) { order.push_back(u"after"); };
    a.OnAfterEnvelopeProcessed = [&](TROMessageEnvelope* e, TStream&, TROMessageEnvelopeMode mode, IROMessage* m) {
        EXPECT_NE(m, nullptr);
        order.push_back(e->EnvelopeMarker() + (mode == memOutgoing ? u" out" : u" in"));
    };
    TMemoryStream s;
    Put(s, "body");
    writer.WriteToStream(s);
    EXPECT_EQ(Bytes(s), std::string("ROENV\x01"
                                    "BROENV\x01"
                                    "Abody"));
    EXPECT_EQ(order, (std::vector<String>{u"before", u"A out", u"after"}));

    // The reader's collection holds both in the other order, one of them disabled, and the
    // marker in another case.
    TROMessageEnvelope lowerB(nullptr);
    lowerB.SetEnvelopeMarker(u"b");
    TFramingMessage reader;
    TROMessageEnvelopeItem* first = reader.Envelopes().Add();
    first->SetEnvelope(&lowerB);
    first->SetEnabled(false);
    reader.Envelopes().Add()->SetEnvelope(&a);
    order.clear();
    reader.ReadFromStream(s);
    EXPECT_EQ(Bytes(s), "body");
    EXPECT_EQ(order, (std::vector<String>{u"A in"}));
}

TEST(ROMessageEnvelopeTest, StackedHeadersAreBounded) {
    TROMessageEnvelope a(nullptr);
    a.SetEnvelopeMarker(u"A");
    TFramingMessage reader;
    reader.Envelopes().Add()->SetEnvelope(&a);
    std::string layers;
    for (int i = 0; i < MaxEnvelopeLayers; ++i)
        layers += "ROENV\x01"
                  "A";
    TMemoryStream s;
    Put(s, layers + "body");
    reader.ReadFromStream(s);
    EXPECT_EQ(Bytes(s), "body");
    Put(s, layers + "ROENV\x01"
                    "Abody");
    EXPECT_THROW(reader.ReadFromStream(s), EROException);
}

TEST(ROMessageEnvelopeTest, PlainStreamsAreReadUntouched) {
    TFramingMessage reader;
    TMemoryStream s;
    Put(s, "ROENX\x02"
           "ABbody");
    reader.ReadFromStream(s);
    EXPECT_EQ(Bytes(s), "ROENX\x02"
                        "ABbody");
}

TEST(ROMessageEnvelopeTest, UnknownOrUnassignedMarkersRaise) {
    TFramingMessage reader;
    TMemoryStream s;
    Put(s, "ROENV\x02"
           "ABbody");
    try {
        reader.ReadFromStream(s);
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"AB envelope isn't found");
    }
    TROMessageEnvelope ab(nullptr);
    ab.SetEnvelopeMarker(u"AB");
    reader.Envelopes().Add()->SetEnvelope(&ab);
    {
        // An envelope that goes away leaves its item without envelope.
        TROMessageEnvelope gone(nullptr);
        gone.SetEnvelopeMarker(u"CD");
        reader.Envelopes().Add()->SetEnvelope(&gone);
    }
    EXPECT_EQ(reader.Envelopes().GetEnvelope(1)->Envelope(), nullptr);
    EXPECT_EQ(reader.Envelopes().GetEnvelope(1)->GetDisplayName(), u"[Unassigned]");
    Put(s, "ROENV\x02"
           "ABROENV\x0C[Unassigned]body");
    try {
        reader.ReadFromStream(s);
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"[Unassigned] envelope can't be processed! TROMessageEnvelope should be assigned.");
    }
    // The stream keeps what it held after the last successful unwrap.
    EXPECT_EQ(Bytes(s), "ROENV\x0C[Unassigned]body");
}

TEST(ROMessageEnvelopeTest, ContentEncodingOnlyWithoutActiveEnvelopes) {
    TFramingMessage message;
    message.Envelopes().Add(); // no envelope
    message.Initialize(nullptr, u"Service", u"Op", 0);
    EXPECT_TRUE(message.HttpCanUseContentEncoding());
    TROMessageEnvelope e(nullptr);
    message.Envelopes().GetEnvelope(0)->SetEnvelope(&e);
    message.Initialize(nullptr, u"Service", u"Op", 0);
    EXPECT_FALSE(message.HttpCanUseContentEncoding());
    message.Envelopes().GetEnvelope(0)->SetEnabled(false);
    message.Initialize(nullptr, u"Service", u"Op", 0);
    EXPECT_TRUE(message.HttpCanUseContentEncoding());
}

} // namespace
} // namespace vgl
