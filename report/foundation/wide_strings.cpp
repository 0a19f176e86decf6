#include "report/foundation/wide_strings.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"

namespace vgl {

VGL_DEFINE_CLASS(TWideStrings) {}

namespace {

[[noreturn]] void OutOfBounds() {
    throw Exception(u"Wide String Out of Bounds");
}

String Utf16LeToString(const std::uint8_t* bytes, size_t size) {
    String text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = Char(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return text;
}

} // namespace

String TfrxWideStrings::Get(int index) const {
    if (index < 0 || index >= Count())
        return String();
    return FWideStringList[index].Text;
}

void TfrxWideStrings::Put(int index, const String& s) {
    if (index == Count())
        Add(s);
    else if (index >= 0 && index < Count())
        FWideStringList[index].Text = s;
    else
        OutOfBounds();
}

TObject* TfrxWideStrings::GetObject(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return FWideStringList[index].Object;
}

void TfrxWideStrings::PutObject(int index, TObject* obj) {
    if (index >= 0 && index < Count())
        FWideStringList[index].Object = obj;
}

int TfrxWideStrings::Add(const String& s) {
    FWideStringList.push_back({s, nullptr});
    return Count() - 1;
}

void TfrxWideStrings::Insert(int index, const String& s) {
    if (index < 0 || index > Count())
        OutOfBounds();
    FWideStringList.insert(FWideStringList.begin() + index, Entry{s, nullptr});
}

void TfrxWideStrings::Delete(int index) {
    if (index < 0 || index >= Count())
        IndexError(index);
    FWideStringList.erase(FWideStringList.begin() + index);
}

void TfrxWideStrings::Clear() {
    FWideStringList.clear();
}

int TfrxWideStrings::IndexOf(const String& s) const {
    for (size_t i = 0; i < FWideStringList.size(); ++i)
        if (FWideStringList[i].Text == s)
            return int(i);
    return -1;
}

String TfrxWideStrings::Text() const {
    size_t size = 0;
    for (const Entry& e : FWideStringList)
        size += e.Text.size() + 2;
    String text;
    text.reserve(size);
    for (const Entry& e : FWideStringList) {
        text += e.Text;
        text += u"\r\n";
    }
    return text;
}

void TfrxWideStrings::SetText(StringView text) {
    Clear();
    const auto endsLine = [](Char c) { return c == 0 || c == u'\r' || c == u'\n' || c == u'\u2028'; };
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] != 0) {
        const size_t start = i;
        while (i < n && !endsLine(text[i]))
            ++i;
        Add(String(text.substr(start, i - start)));
        if (i < n && text[i] == u'\r')
            ++i;
        if (i < n && text[i] == u'\n')
            ++i;
        if (i < n && text[i] == u'\u2028')
            ++i;
    }
}

void TfrxWideStrings::SaveToStream(TStream& stream) const {
    const String text = Text();
    std::vector<std::uint8_t> bytes(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = std::uint8_t(text[i] & 0xFF);
        bytes[2 * i + 1] = std::uint8_t(text[i] >> 8);
    }
    stream.WriteBuffer(bytes);
}

void TfrxWideStrings::SaveToFile(const String& fileName) const {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

void TfrxWideStrings::LoadFromWStream(TStream& stream) {
    const std::vector<std::uint8_t> bytes = stream.ReadRemaining();
    SetText(Utf16LeToString(bytes.data(), bytes.size()));
}

void TfrxWideStrings::LoadFromStream(TStream& stream) {
    const std::vector<std::uint8_t> bytes = stream.ReadRemaining();
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        SetText(Utf16LeToString(bytes.data() + 2, bytes.size() - 2));
        return;
    }
    std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (raw.starts_with("\xEF\xBB\xBF"))
        raw.remove_prefix(3);
    SetText(IsValidUtf8(raw) ? Utf8ToString(raw) : AnsiToString(raw));
}

void TfrxWideStrings::LoadFromFile(const String& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

} // namespace vgl
