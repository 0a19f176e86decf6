#pragma once
// Message envelopes: a component that wraps a whole message stream in one more framed layer on
// the way out and takes it off on the way in, and the message's ordered collection of envelope
// items (an envelope and whether it is enabled).
//
// On the wire an envelope header is the five bytes "ROENV", one byte n (the marker's length in
// bytes) and the n bytes of the marker in UTF-8; the wrapped payload follows directly. The base
// envelope only frames: its transforms copy the payload unchanged, and a descendant changes the
// payload (compresses, encrypts) by overriding the two transforms.

#include <functional>
#include <memory>

#include "platform/rtl/collection.h"
#include "remoting/core/ro_component.h"

namespace vgl {

class TStream;
class IROMessage;
class TROMessage;

enum TROMessageEnvelopeMode { memOutgoing, memIncoming };

class TROMessageEnvelope;
using TROMessageEnvelopeProcessed = std::function<void(TROMessageEnvelope* aMessageEnvelope, TStream& aStream,
                                                       TROMessageEnvelopeMode aMode, IROMessage* aMessage)>;

/// The longest marker in bytes.
constexpr int MaxEnvelopeMarkerBytes = 255;
/// The most envelope layers a received message may carry (EROException "More than %d
/// envelopes" beyond).
constexpr int MaxEnvelopeLayers = 64;

class TROMessageEnvelope : public TROComponent {
    VGL_CLASS(TROMessageEnvelope, TROComponent)

    /// The marker is the text of a new GUID. (A descendant with another default marker sets it
    /// in its own constructor.)
    explicit TROMessageEnvelope(TComponent* AOwner);

    /// The marker decoded from its UTF-8 bytes.
    String EnvelopeMarker() const;
    /// The marker's bytes become Value in UTF-8; while they are 256 bytes or more, the last
    /// character (a whole surrogate pair) is dropped; an empty result becomes a new GUID's text.
    void SetEnvelopeMarker(const String& Value);
    const AnsiString& EnvelopeMarkerBytes() const { return fEnvelopeMarker; }
    bool ReuseOriginalStream() const { return fReuseOriginalStream; }

    TROMessageEnvelopeProcessed OnBeforeEnvelopeProcessed;
    TROMessageEnvelopeProcessed OnAfterEnvelopeProcessed;

    /// From another envelope: both events and the marker.
    void Assign(const TPersistent* Source) override;

    /// Writes this envelope's header at the stream's position.
    void WriteEnvelopeHeader(TStream& aStream) const;
    /// Wraps the content of aStream from its position on: fires OnBeforeEnvelopeProcessed,
    /// builds header + outgoing transform in a new stream and, with ReuseOriginalStream, copies
    /// that back into aStream (the answer is then none); otherwise the new stream is the answer.
    /// The resulting stream is at position 0 and OnAfterEnvelopeProcessed has fired.
    std::unique_ptr<TStream> ProcessOutgoing(IROMessage* aMessage, TStream& aStream);
    /// Unwraps the content of aStream after its position (just after a header): the same steps
    /// with the incoming transform.
    std::unique_ptr<TStream> ProcessIncoming(IROMessage* aMessage, TStream& aStream);

protected:
    /// Both copy Source's bytes from its position to its end into Dest unchanged.
    virtual void DoProcessOutgoing(TStream& Source, TStream& Dest, IROMessage* aMessage);
    virtual void DoProcessIncoming(TStream& Source, TStream& Dest, IROMessage* aMessage);
    /// The marker given at creation: a new GUID's text in the base.
    virtual String GetDefaultEnvelopeMarker() const;

    bool fReuseOriginalStream = true;

private:
    std::unique_ptr<TStream> Finish(IROMessage* aMessage, TStream& aStream, std::unique_ptr<TStream> made,
                                    TROMessageEnvelopeMode aMode);
    AnsiString fEnvelopeMarker;
};

class TROMessageEnvelopeItem : public TCollectionItem {
    VGL_CLASS(TROMessageEnvelopeItem, TCollectionItem)

    /// Enabled, without envelope.
    explicit TROMessageEnvelopeItem(TCollection* aCollection);

    bool Enabled() const { return fEnabled; }
    void SetEnabled(bool value) { fEnabled = value; }
    /// Not owned. The owning message hears of the envelope's destruction and drops it.
    TROMessageEnvelope* Envelope() const { return fEnvelope; }
    void SetEnvelope(TROMessageEnvelope* value);
    /// The envelope's marker; empty without envelope.
    String EnvelopeMarker() const;
    /// The envelope's marker, or "[Unassigned]" without an envelope.
    String GetDisplayName() const override;
    /// Copies Enabled and Envelope.
    void Assign(const TPersistent* Source) override;
    /// Whether the item takes part in outgoing processing: Enabled and with an envelope.
    bool IsActive() const { return fEnabled && fEnvelope; }

private:
    bool fEnabled = true;
    TROMessageEnvelope* fEnvelope = nullptr;
};

class TROMessageEnvelopeCollection : public TOwnedCollection {
    VGL_CLASS(TROMessageEnvelopeCollection, TOwnedCollection)

    explicit TROMessageEnvelopeCollection(TROMessage* aMessage);

    TROMessage* Message() const { return fMessage; }
    TROMessageEnvelopeItem* Add();
    /// The item at Index (EListError out of range).
    TROMessageEnvelopeItem* GetEnvelope(int Index) const;
    /// The first item whose display name equals aMarker without regard to ASCII case; none.
    TROMessageEnvelopeItem* ItemByMarker(StringView aMarker) const;
    /// The first item holding aEnvelope; none.
    TROMessageEnvelopeItem* ItemByEnvelope(const TROMessageEnvelope* aEnvelope) const;
    /// Whether any item is enabled and has an envelope.
    bool HasActiveItem() const;

private:
    TROMessage* fMessage;
};

} // namespace vgl
