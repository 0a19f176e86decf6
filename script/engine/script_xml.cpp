#include "script/engine/script_xml.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

VGL_DEFINE_CLASS(TfsXMLItem) {}
VGL_DEFINE_CLASS(TfsXMLDocument) {}

namespace {

constexpr size_t kBlockSize = 4096;
// Deeper nesting than any grammar or program needs; bounds the reader's recursion.
constexpr int kMaxDepth = 1000;

const String kInvalidFileFormat = u"Invalid file format";

} // namespace

// ---- Escaping --------------------------------------------------------------------------------

String fsXMLEscapeText(StringView text) {
    String out;
    out.reserve(text.size());
    for (const Char c : text) {
        switch (c) {
        case u'\n':
            out += u"&#10;";
            break;
        case u'\r':
            out += u"&#13;";
            break;
        case u'"':
            out += u"&#34;";
            break;
        case u'&':
            out += u"&#38;";
            break; // every '&', so that a literal "&#65;" survives a round trip
        case u'<':
            out += u"&#60;";
            break;
        case u'>':
            out += u"&#62;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

String fsXMLUnescapeText(StringView text) {
    String out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const Char c = text[i];
        if (c != u'&' || i + 1 >= text.size()) {
            out += c;
            ++i;
            continue;
        }
        if (text[i + 1] == u'#' && i + 3 < text.size()) {
            // The reference runs to the next ';' searched from the third character after '&';
            // without one the text is kept as it stands.
            const size_t semi = text.find(u';', i + 3);
            if (semi != StringView::npos) {
                const std::int64_t code = StrToInt64(text.substr(i + 2, semi - i - 2));
                if (code >= 0 && code <= 0x10FFFF) {
                    AppendCodePoint(out, static_cast<char32_t>(code));
                } else {
                    out += u'\uFFFD';
                }
                i = semi + 1;
                continue;
            }
        } else if (text.substr(i + 1, 5) == u"quot;") {
            out += u'"';
            i += 6;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

// ---- TfsXMLItem ------------------------------------------------------------------------------

TfsXMLItem::~TfsXMLItem() {
    Clear();
    SetParent(nullptr);
}

TfsXMLItem* TfsXMLItem::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    return (*FItems)[index];
}

void TfsXMLItem::SetParent(TfsXMLItem* parent) {
    if (FParent && FParent->FItems) {
        auto& list = *FParent->FItems;
        const auto it = std::find(list.begin(), list.end(), this);
        if (it != list.end())
            list.erase(it);
    }
    FParent = parent;
}

void TfsXMLItem::Clear() {
    if (!FItems)
        return;
    // Detach first so that each child's destructor does not search this list.
    auto items = std::move(FItems);
    for (TfsXMLItem* child : *items) {
        child->FParent = nullptr;
        delete child;
    }
}

TfsXMLItem* TfsXMLItem::Add() {
    auto item = std::make_unique<TfsXMLItem>();
    AddItem(item.get());
    return item.release();
}

void TfsXMLItem::AddItem(TfsXMLItem* item) {
    if (!FItems)
        FItems = std::make_unique<std::vector<TfsXMLItem*>>();
    FItems->push_back(nullptr); // reserve the slot before detaching, so a failure loses nothing
    item->SetParent(this);
    FItems->back() = item;
}

void TfsXMLItem::InsertItem(int index, TfsXMLItem* item) {
    AddItem(item);
    auto& list = *FItems;
    const int last = int(list.size()) - 1;
    index = std::clamp(index, 0, last);
    std::rotate(list.begin() + index, list.begin() + last, list.end());
}

int TfsXMLItem::Find(StringView name) const {
    for (int i = 0; i < Count(); ++i) {
        if (AnsiSameText((*FItems)[i]->FName, name))
            return i;
    }
    return -1;
}

TfsXMLItem* TfsXMLItem::FindItem(StringView name) {
    const int i = Find(name);
    if (i >= 0)
        return (*FItems)[i];
    TfsXMLItem* item = Add();
    item->FName = String(name);
    return item;
}

int TfsXMLItem::IndexOf(const TfsXMLItem* item) const {
    for (int i = 0; i < Count(); ++i) {
        if ((*FItems)[i] == item)
            return i;
    }
    return -1;
}

bool TfsXMLItem::IsAncestorOf(const TfsXMLItem* item) const {
    for (const TfsXMLItem* p = item ? item->FParent : nullptr; p; p = p->FParent) {
        if (p == this)
            return true;
    }
    return false;
}

TfsXMLItem* TfsXMLItem::Root() {
    TfsXMLItem* item = this;
    while (item->FParent)
        item = item->FParent;
    return item;
}

size_t TfsXMLItem::FindPropValue(StringView name) const {
    // Upper-casing is 1:1, so positions in the upper-cased text are positions in FText.
    String haystack(1, u' ');
    haystack += FText;
    haystack = AnsiUpperCase(haystack);
    String needle(1, u' ');
    needle += AnsiUpperCase(name);
    needle += u"=\"";
    const size_t at = haystack.find(needle);
    if (at == String::npos)
        return String::npos;
    return at + needle.size() - 1; // minus the leading blank added to FText
}

String TfsXMLItem::GetProp(StringView name) const {
    const size_t start = FindPropValue(name);
    if (start == String::npos)
        return String();
    size_t end = FText.find(u'"', start);
    if (end == String::npos)
        end = FText.size();
    return fsXMLUnescapeText(StringView(FText).substr(start, end - start));
}

bool TfsXMLItem::PropExists(StringView name) const {
    return FindPropValue(name) != String::npos;
}

void TfsXMLItem::SetProp(StringView name, StringView value) {
    size_t insertAt = FText.size();
    const size_t start = FindPropValue(name);
    if (start != String::npos) {
        const size_t nameStart = start - name.size() - 2;
        size_t end = FText.find(u'"', start);
        end = end == String::npos ? FText.size() : end + 1;
        FText.erase(nameStart, end - nameStart);
        insertAt = nameStart;
    }
    String pair = String(name) + u"=\"" + fsXMLEscapeText(value) + u"\"";
    if (insertAt > 0 && FText[insertAt - 1] != u' ')
        pair.insert(pair.begin(), u' ');
    FText.insert(insertAt, pair);
}

void TfsXMLItem::Assign(const TfsXMLItem* item) {
    if (item && item != this && (IsAncestorOf(item) || item->IsAncestorOf(this))) {
        // Clearing would free a source inside this subtree, and copying an ancestor would copy
        // into the tree being read: copy the source aside first.
        TfsXMLItem copy;
        copy.Assign(item);
        Clear();
        FName = std::move(copy.FName);
        FText = std::move(copy.FText);
        FData = copy.FData;
        FItems = std::move(copy.FItems);
        if (FItems) {
            for (TfsXMLItem* child : *FItems)
                child->FParent = this;
        }
        return;
    }
    Clear();
    if (!item || item == this)
        return;
    FName = item->FName;
    FText = item->FText;
    FData = item->FData;
    for (int i = 0; i < item->Count(); ++i)
        Add()->Assign(item->Items(i));
}

// ---- TfsXMLDocument --------------------------------------------------------------------------

TfsXMLDocument::TfsXMLDocument() : FRoot(std::make_unique<TfsXMLItem>()) {}
TfsXMLDocument::~TfsXMLDocument() = default;

void TfsXMLDocument::Clear() {
    FRoot->Clear();
}

void TfsXMLDocument::LoadFromStream(TStream& stream) {
    Clear();
    TfsXMLReader reader(stream);
    reader.ReadHeader();
    reader.ReadRootItem(*FRoot);
}

void TfsXMLDocument::SaveToStream(TStream& stream) const {
    TfsXMLWriter writer(stream);
    writer.SetAutoIndent(FAutoIndent);
    writer.WriteHeader();
    writer.WriteRootItem(*FRoot);
}

void TfsXMLDocument::LoadFromFile(const String& fileName) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TfsXMLDocument::SaveToFile(const String& fileName) const {
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

// ---- TfsXMLReader ----------------------------------------------------------------------------

TfsXMLReader::TfsXMLReader(TStream& stream) : FBuffer(kBlockSize), FStream(stream) {
    FPosition = stream.GetPosition();
    FSize = stream.GetSize();
}

TfsXMLReader::~TfsXMLReader() {
    try {
        FStream.SetPosition(FPosition);
    } catch (...) {
        // A stream that cannot seek back keeps its position; nothing else to restore.
    }
}

void TfsXMLReader::SetPosition(std::int64_t value) {
    FPosition = value;
    FStream.SetPosition(value);
    FBufPos = FBufEnd = 0;
}

void TfsXMLReader::RaiseException() const {
    throw Exception(kInvalidFileFormat);
}

int TfsXMLReader::NextByte() {
    if (FPosition >= FSize)
        return -1;
    if (FBufPos >= FBufEnd) {
        FBufEnd = size_t(FStream.Read(FBuffer.data(), std::int64_t(kBlockSize)));
        FBufPos = 0;
        if (FBufEnd == 0)
            return -1;
    }
    ++FPosition;
    return FBuffer[FBufPos++];
}

void TfsXMLReader::ReadItem(String& name, String& text) {
    enum { Outside, InTag, InComment } state = Outside;
    std::string tag;
    int dashes = 0;
    bool done = false;
    while (!done) {
        const int b = NextByte();
        if (b < 0) {
            if (state == InTag)
                RaiseException();
            FAtEnd = true;
            name.clear();
            text.clear();
            return;
        }
        switch (state) {
        case Outside:
            if (b == '<')
                state = InTag;
            break;
        case InTag:
            if (b == '>') {
                done = true;
            } else if (b == '<') {
                RaiseException();
            } else {
                tag += char(b);
                if (tag == "!--") {
                    state = InComment;
                    tag.clear();
                    dashes = 0;
                }
            }
            break;
        case InComment:
            if (dashes == 2) {
                if (b == '>')
                    state = Outside;
                dashes = 0;
            } else {
                dashes = b == '-' ? dashes + 1 : 0;
            }
            break;
        }
    }
    if (!tag.empty() && tag.back() == ' ')
        tag.pop_back();
    const size_t blank = tag.find(' ');
    if (blank != std::string::npos) {
        text = Utf8ToString(std::string_view(tag).substr(blank + 1));
        tag.resize(blank);
    } else {
        text.clear();
    }
    name = AnsiToString(tag);
}

void TfsXMLReader::ReadHeader() {
    String name, text;
    ReadItem(name, text);
    if (name.rfind(u"?xml", 0) != 0)
        RaiseException();
}

void TfsXMLReader::ReadRootItem(TfsXMLItem& item) {
    ReadItemTree(item, 0);
}

bool TfsXMLReader::ReadItemTree(TfsXMLItem& item, int depth) {
    if (depth > kMaxDepth)
        RaiseException();
    String name, text;
    ReadItem(name, text);
    FLastName = name;
    if (name.empty() || name[0] == u'/') {
        // A closing tag inside open elements is checked by the caller; the end of the data
        // inside an open element is a document cut short.
        if (FAtEnd && depth > 0)
            RaiseException();
        return false;
    }
    if (name.back() == u'/') {
        name.pop_back();
        item.SetName(std::move(name));
        item.SetText(std::move(text));
        return true;
    }
    bool leaf = false;
    if (!text.empty() && text.back() == u'/') {
        text.pop_back();
        leaf = true;
    }
    item.SetName(std::move(name));
    item.SetText(std::move(text));
    if (leaf)
        return true;
    for (;;) {
        auto child = std::make_unique<TfsXMLItem>();
        if (!ReadItemTree(*child, depth + 1))
            break;
        item.AddItem(child.release());
    }
    if (!FLastName.empty() && !AnsiSameText(FLastName, u"/" + item.Name()))
        RaiseException();
    return true;
}

// ---- TfsXMLWriter ----------------------------------------------------------------------------

void TfsXMLWriter::WriteLn(const std::string& line) {
    FBuffer += line;
    if (FAutoIndent)
        FBuffer += "\r\n";
    if (FBuffer.size() > kBlockSize)
        Flush();
}

void TfsXMLWriter::Flush() {
    FStream.WriteBuffer(FBuffer.data(), std::int64_t(FBuffer.size()));
    FBuffer.clear();
}

void TfsXMLWriter::WriteHeader() {
    WriteLn("<?xml version=\"1.0\"?>");
}

void TfsXMLWriter::WriteRootItem(const TfsXMLItem& item) {
    WriteItem(item, 0);
    Flush();
}

void TfsXMLWriter::WriteItem(const TfsXMLItem& item, int depth) {
    const std::string indent = FAutoIndent ? std::string(size_t(depth) * 2, ' ') : std::string();
    std::string line = indent + "<" + StringToAnsi(item.Name());
    if (!item.Text().empty()) {
        if (item.Text()[0] != u' ')
            line += ' ';
        line += StringToUtf8(item.Text());
    }
    line += item.Count() == 0 ? "/>" : ">";
    WriteLn(line);
    if (item.Count() == 0)
        return;
    for (int i = 0; i < item.Count(); ++i)
        WriteItem(*item.Items(i), depth + 1);
    WriteLn(indent + "</" + StringToAnsi(item.Name()) + ">");
}

} // namespace vgl
