// The remoting core's readers of request input: the Accept-Encoding field, XML Schema
// date-times and incoming envelope headers.
// links: vgl_remoting_core
#include <cmath>

#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "remoting/core/ro_datetime.h"
#include "remoting/core/ro_http_utils.h"
#include "remoting/core/ro_message.h"

using namespace vgl;

namespace {

/// A message that only frames, with two envelopes it knows by marker.
class TFramingMessage : public TROMessage {
public:
    TFramingMessage() : TROMessage(nullptr), fA(nullptr), fB(nullptr) {
        fA.SetEnvelopeMarker(u"A");
        fB.SetEnvelopeMarker(u"B");
        Envelopes().Add()->SetEnvelope(&fA);
        Envelopes().Add()->SetEnvelope(&fB);
        Envelopes().Add(); // an item without envelope
    }
    ~TFramingMessage() override { Envelopes().Clear(); }

private:
    TROMessageEnvelope fA;
    TROMessageEnvelope fB;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::uint8_t mode = in.Byte() % 3;
    fuzz::Guarded([&] {
        if (mode == 0) {
            const AcceptEncodingSet set = ParseAcceptEncoding(in.RestAsLatin1());
            fuzz::Require(set < 64);
            fuzz::Require(AcceptsGzip(set) == ((set & (aeGzip | aeAny)) != 0));
        } else if (mode == 1) {
            std::int32_t offset = 0;
            const TDateTime value = ParseISO8601DateTime(in.RestAsLatin1(), offset);
            fuzz::Require(offset == NoTimeZoneOffset || (offset >= -14 * 60 && offset <= 14 * 60));
            // A value that parses writes text that parses back to it (to the millisecond).
            if (value >= MinDateTime && value <= MaxDateTime) {
                const TDateTime again = ISO8601ToUtcDateTime(DateTimeToISO8601(value));
                fuzz::Require(std::abs(again - value) < 2.0 / MSecsPerDay);
            }
        } else {
            TFramingMessage message;
            TBytesStream stream(in.Rest());
            message.ReadFromStream(stream);
            // Whatever is left carries no header the message knows.
            String marker;
            stream.SetPosition(0);
            if (TROMessage::CheckForEnvelope(stream, marker))
                fuzz::Require(!message.Envelopes().ItemByMarker(marker) && marker != u"[Unassigned]");
        }
    });
    return 0;
}
