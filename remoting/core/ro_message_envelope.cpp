#include "remoting/core/ro_message_envelope.h"

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_message.h"
#include "remoting/core/ro_utils.h"

namespace vgl {

VGL_DEFINE_CLASS(TROMessageEnvelope) {
    b.Property(u"EnvelopeMarker", &TROMessageEnvelope::EnvelopeMarker, &TROMessageEnvelope::SetEnvelopeMarker);
    b.Property(u"OnBeforeEnvelopeProcessed", &TROMessageEnvelope::OnBeforeEnvelopeProcessed);
    b.Property(u"OnAfterEnvelopeProcessed", &TROMessageEnvelope::OnAfterEnvelopeProcessed);
}

VGL_DEFINE_CLASS(TROMessageEnvelopeItem) {
    b.Property(u"Enabled", &TROMessageEnvelopeItem::Enabled, &TROMessageEnvelopeItem::SetEnabled).Default(true);
    b.Property(u"Envelope", &TROMessageEnvelopeItem::Envelope, &TROMessageEnvelopeItem::SetEnvelope);
}

VGL_DEFINE_CLASS(TROMessageEnvelopeCollection) {}

namespace {
constexpr char kEnvelopeSignature[] = "ROENV";
constexpr int kSignatureSize = 5;
} // namespace

// ---- TROMessageEnvelope -------------------------------------------------------------------

TROMessageEnvelope::TROMessageEnvelope(TComponent* AOwner) : TROComponent(AOwner) {
    SetEnvelopeMarker(GetDefaultEnvelopeMarker());
}

String TROMessageEnvelope::GetDefaultEnvelopeMarker() const {
    return NewGuidString();
}

String TROMessageEnvelope::EnvelopeMarker() const {
    return Utf8ToString(fEnvelopeMarker);
}

void TROMessageEnvelope::SetEnvelopeMarker(const String& Value) {
    // Every character takes at least one byte, so more than 255 code units never fit.
    String text = Value.substr(0, std::min<size_t>(Value.size(), MaxEnvelopeMarkerBytes));
    if (text.size() < Value.size() && !text.empty() && IsHighSurrogate(text.back()))
        text.pop_back();
    std::string bytes = StringToUtf8(text);
    while (bytes.size() > size_t(MaxEnvelopeMarkerBytes)) {
        const bool pair = text.size() >= 2 && IsLowSurrogate(text.back()) && IsHighSurrogate(text[text.size() - 2]);
        text.resize(text.size() - (pair ? 2 : 1));
        bytes = StringToUtf8(text);
    }
    if (bytes.empty())
        bytes = StringToUtf8(NewGuidString());
    fEnvelopeMarker = std::move(bytes);
}

void TROMessageEnvelope::Assign(const TPersistent* Source) {
    if (auto* envelope = dynamic_cast<const TROMessageEnvelope*>(Source)) {
        OnBeforeEnvelopeProcessed = envelope->OnBeforeEnvelopeProcessed;
        OnAfterEnvelopeProcessed = envelope->OnAfterEnvelopeProcessed;
        fEnvelopeMarker = envelope->fEnvelopeMarker;
        return;
    }
    TROComponent::Assign(Source);
}

void TROMessageEnvelope::WriteEnvelopeHeader(TStream& aStream) const {
    aStream.WriteBuffer(kEnvelopeSignature, kSignatureSize);
    const std::uint8_t length = std::uint8_t(fEnvelopeMarker.size());
    aStream.WriteBuffer(&length, 1);
    if (length)
        aStream.WriteBuffer(fEnvelopeMarker.data(), length);
}

void TROMessageEnvelope::DoProcessOutgoing(TStream& Source, TStream& Dest, IROMessage*) {
    const std::int64_t rest = Source.GetSize() - Source.GetPosition();
    if (rest > 0)
        Dest.CopyFrom(Source, rest);
}

void TROMessageEnvelope::DoProcessIncoming(TStream& Source, TStream& Dest, IROMessage*) {
    const std::int64_t rest = Source.GetSize() - Source.GetPosition();
    if (rest > 0)
        Dest.CopyFrom(Source, rest);
}

std::unique_ptr<TStream> TROMessageEnvelope::Finish(IROMessage* aMessage, TStream& aStream,
                                                    std::unique_ptr<TStream> made, TROMessageEnvelopeMode aMode) {
    std::unique_ptr<TStream> answer;
    TStream* result = &aStream;
    if (fReuseOriginalStream) {
        aStream.SetSize(0);
        aStream.SetPosition(0);
        made->SetPosition(0);
        CopyStreamData(made.get(), &aStream, 0);
    } else {
        answer = std::move(made);
        result = answer.get();
    }
    result->SetPosition(0);
    if (OnAfterEnvelopeProcessed)
        OnAfterEnvelopeProcessed(this, *result, aMode, aMessage);
    result->SetPosition(0);
    return answer;
}

std::unique_ptr<TStream> TROMessageEnvelope::ProcessOutgoing(IROMessage* aMessage, TStream& aStream) {
    if (OnBeforeEnvelopeProcessed)
        OnBeforeEnvelopeProcessed(this, aStream, memOutgoing, aMessage);
    auto made = std::make_unique<TMemoryStream>();
    WriteEnvelopeHeader(*made);
    DoProcessOutgoing(aStream, *made, aMessage);
    return Finish(aMessage, aStream, std::move(made), memOutgoing);
}

std::unique_ptr<TStream> TROMessageEnvelope::ProcessIncoming(IROMessage* aMessage, TStream& aStream) {
    if (OnBeforeEnvelopeProcessed)
        OnBeforeEnvelopeProcessed(this, aStream, memIncoming, aMessage);
    auto made = std::make_unique<TMemoryStream>();
    DoProcessIncoming(aStream, *made, aMessage);
    return Finish(aMessage, aStream, std::move(made), memIncoming);
}

// ---- TROMessageEnvelopeItem ---------------------------------------------------------------

TROMessageEnvelopeItem::TROMessageEnvelopeItem(TCollection* aCollection) : TCollectionItem(aCollection) {}

void TROMessageEnvelopeItem::SetEnvelope(TROMessageEnvelope* value) {
    fEnvelope = value;
    if (!value)
        return;
    if (auto* envelopes = dynamic_cast<TROMessageEnvelopeCollection*>(Collection()))
        if (TROMessage* message = envelopes->Message())
            message->ROFreeNotification(value);
}

String TROMessageEnvelopeItem::EnvelopeMarker() const {
    return fEnvelope ? fEnvelope->EnvelopeMarker() : String();
}

String TROMessageEnvelopeItem::GetDisplayName() const {
    return fEnvelope ? fEnvelope->EnvelopeMarker() : String(u"[Unassigned]");
}

void TROMessageEnvelopeItem::Assign(const TPersistent* Source) {
    if (auto* item = dynamic_cast<const TROMessageEnvelopeItem*>(Source)) {
        SetEnabled(item->Enabled());
        SetEnvelope(item->Envelope());
        return;
    }
    TCollectionItem::Assign(Source);
}

// ---- TROMessageEnvelopeCollection ---------------------------------------------------------

TROMessageEnvelopeCollection::TROMessageEnvelopeCollection(TROMessage* aMessage)
    : TOwnedCollection(aMessage, &TROMessageEnvelopeItem::StaticClassInfo()), fMessage(aMessage) {}

TROMessageEnvelopeItem* TROMessageEnvelopeCollection::Add() {
    return static_cast<TROMessageEnvelopeItem*>(TCollection::Add());
}

TROMessageEnvelopeItem* TROMessageEnvelopeCollection::GetEnvelope(int Index) const {
    return static_cast<TROMessageEnvelopeItem*>(Items(Index));
}

TROMessageEnvelopeItem* TROMessageEnvelopeCollection::ItemByMarker(StringView aMarker) const {
    for (int i = 0; i < Count(); ++i) {
        TROMessageEnvelopeItem* item = GetEnvelope(i);
        if (SameText(item->GetDisplayName(), aMarker))
            return item;
    }
    return nullptr;
}

TROMessageEnvelopeItem* TROMessageEnvelopeCollection::ItemByEnvelope(const TROMessageEnvelope* aEnvelope) const {
    for (int i = 0; i < Count(); ++i)
        if (GetEnvelope(i)->Envelope() == aEnvelope)
            return GetEnvelope(i);
    return nullptr;
}

bool TROMessageEnvelopeCollection::HasActiveItem() const {
    for (int i = 0; i < Count(); ++i)
        if (GetEnvelope(i)->IsActive())
            return true;
    return false;
}

} // namespace vgl
