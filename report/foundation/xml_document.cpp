#include "report/foundation/xml_document.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/rtl/file_utils.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/xml_escaping.h"

namespace vgl {

namespace {

constexpr size_t kBufferSize = 4096;
constexpr const char* kHeader = R"(<?xml version="1.0" encoding="utf-8" standalone="no"?>)";

bool StartsWith(StringView s, StringView prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Position of the unloaded-node flag in the lower-cased attribute text and its length, or npos.
std::pair<size_t, size_t> FindUnloadFlag(const String& text) {
    const String lower = AnsiLowerCase(text);
    const size_t pos = lower.find(u" ld=\"0\"");
    if (pos != String::npos)
        return {pos, 7};
    if (lower == u"ld=\"0\"")
        return {0, 6};
    return {String::npos, 0};
}

} // namespace

// ---- TfrxXMLReader ---------------------------------------------------------------------------

TfrxXMLReader::TfrxXMLReader(TStream& stream) : FStream(stream), FBuffer(kBufferSize) {
    FSize = stream.GetSize();
    FPosition = stream.GetPosition();
    FTag.reserve(kBufferSize);
}

TfrxXMLReader::~TfrxXMLReader() {
    try {
        FStream.SetPosition(FPosition);
    } catch (...) {
        // A destructor must not throw; the stream stays where the last read left it.
    }
}

void TfrxXMLReader::SetPosition(std::int64_t position) {
    FStream.SetPosition(position);
    FPosition = position;
    FBufPos = FBufEnd = 0;
}

void TfrxXMLReader::RaiseException() {
    throw TfrxInvalidXMLException(u"Invalid file format");
}

bool TfrxXMLReader::Refill() {
    if (FPosition >= FSize)
        return false;
    const std::int64_t want = std::min<std::int64_t>(kBufferSize, FSize - FPosition);
    const std::int64_t got = FStream.Read(FBuffer.data(), want);
    if (got <= 0)
        return false;
    FBufPos = 0;
    FBufEnd = size_t(got);
    return true;
}

TfrxXMLReader::Tag TfrxXMLReader::ReadTag() {
    enum { Outside, InTag, InComment } state = Outside;
    int dashes = 0;
    FTag.clear();
    for (;;) {
        if (FBufPos == FBufEnd && !Refill()) {
            if (state == Outside)
                return {};
            RaiseException(); // the data ends inside a tag or comment
        }
        if (state == Outside) {
            // Skip to the next '<': byte-order marks, content and line ends are not kept.
            const auto* begin = FBuffer.data() + FBufPos;
            const auto* lt = static_cast<const std::uint8_t*>(std::memchr(begin, '<', FBufEnd - FBufPos));
            if (!lt) {
                FPosition += std::int64_t(FBufEnd - FBufPos);
                FBufPos = FBufEnd;
                continue;
            }
            const size_t skipped = size_t(lt - begin) + 1;
            FPosition += std::int64_t(skipped);
            FBufPos += skipped;
            state = InTag;
            FTag.clear();
            continue;
        }
        const char b = char(FBuffer[FBufPos++]);
        ++FPosition;
        if (state == InTag) {
            if (b == '>')
                break;
            if (b == '<')
                RaiseException();
            FTag += b;
            if (FTag.size() == 3 && FTag == "!--") {
                FTag.clear();
                state = InComment;
                dashes = 0;
            }
        } else { // InComment: ends at "-->", but not at "--->"
            if (dashes == 2)
                if (b == '>')
                    state = Outside;
                else
                    dashes = 0;
            else if (b == '-')
                ++dashes;
            else
                dashes = 0;
        }
    }
    if (!FTag.empty() && FTag.back() == ' ')
        FTag.pop_back();
    const size_t blank = FTag.find(' ');
    Tag tag;
    const std::string_view bytes(FTag);
    tag.Name = AnsiToString(bytes.substr(0, blank));
    if (blank != std::string::npos) {
        const std::string_view text = bytes.substr(blank + 1);
        tag.Text = OldFormat ? AnsiToString(text) : Utf8ToString(text);
    }
    return tag;
}

void TfrxXMLReader::ReadHeader() {
    const Tag tag = ReadTag();
    if (!StartsWith(tag.Name, u"?xml"))
        RaiseException();
    const size_t v = tag.Text.find(u"version=");
    if (v != String::npos) {
        // after version="; a header that ends sooner has no version
        const String version = v + 9 <= tag.Text.size() ? tag.Text.substr(v + 9, 3) : String();
        OldFormat = version == u"1.0" && tag.Text.find(u"standalone=") == String::npos;
    } else {
        OldFormat = false;
    }
}

void TfrxXMLReader::ReadRootItem(TfrxXMLItem& item, bool readChildren) {
    String lastName;
    if (!ReadItem(item, readChildren, 0, lastName))
        RaiseException(); // the data holds no element, or a closing tag where one must start
}

bool TfrxXMLReader::ReadItem(TfrxXMLItem& item, bool readChildren, int depth, String& lastName) {
    if (depth > MaxDepth)
        RaiseException();
    const std::int64_t start = FPosition;
    Tag tag = ReadTag();
    lastName = tag.Name;
    if (tag.Name.empty() || tag.Name[0] == u'/')
        return false;

    const bool reloading = !item.FName.empty() && !item.FLoaded;
    bool complete = false;
    if (tag.Name.back() == u'/') {
        tag.Name.pop_back();
        complete = true;
    }
    if (!tag.Text.empty() && tag.Text.back() == u'/') {
        tag.Text.pop_back();
        complete = true;
    }
    const auto [flagPos, flagLen] = FindUnloadFlag(tag.Text);
    if (flagPos != String::npos)
        tag.Text.erase(flagPos, flagLen);
    if (!reloading) {
        item.FName = tag.Name;
        item.FText = tag.Text;
    }

    if (!complete) {
        for (;;) {
            TfrxXMLItem* child = item.Add();
            if (!ReadItem(*child, readChildren, depth + 1, lastName)) {
                delete child; // a list end, not an element; the node leaves its parent
                break;
            }
        }
        // The children's list must end with this element's own closing tag; data that ends
        // first is a document cut off before its closing tags.
        if (lastName.empty() || !AnsiSameText(lastName, u"/" + tag.Name))
            RaiseException();
    }

    if (flagPos != String::npos && !readChildren)
        item.MarkUnloaded(&FStream, OldFormat, start);
    return true;
}

// ---- TfrxXMLWriter ---------------------------------------------------------------------------

void TfrxXMLWriter::WriteLn(const std::string& line) {
    FBuffer += line;
    if (AutoIndent)
        FBuffer += "\r\n";
    if (FBuffer.size() > kBufferSize)
        FlushBuffer();
}

void TfrxXMLWriter::FlushBuffer() {
    if (!FBuffer.empty())
        FStream.WriteBuffer(FBuffer.data(), std::int64_t(FBuffer.size()));
    FBuffer.clear();
}

void TfrxXMLWriter::WriteHeader() {
    WriteLn(kHeader);
    FlushBuffer();
}

void TfrxXMLWriter::WriteRootItem(TfrxXMLItem& item) {
    WriteItem(item, 0);
    FlushBuffer();
}

void TfrxXMLWriter::WriteItem(TfrxXMLItem& item, int indent) {
    TStream* source = item.FSource ? item.FSource : TempStream;
    const bool reload = item.FUnloadable && !item.FLoaded && source;
    if (reload) {
        // Read the subtree back for this write; the node stays unloaded. The source may be the
        // stream being written (nested unloading), so its position is restored.
        const TScopeFail dropReloaded([&] { item.DestroyChildren(); });
        const std::int64_t saved = source->GetPosition();
        {
            TfrxXMLReader reader(*source);
            reader.OldFormat = item.FSourceOldFormat;
            reader.SetPosition(item.FOffset);
            reader.ReadRootItem(item, true);
        }
        source->SetPosition(saved);
    }

    const std::string pad = AutoIndent ? std::string(size_t(indent), ' ') : std::string();
    const std::string name = StringToAnsi(item.FName);
    std::string line = pad + "<" + name;
    std::string attributes = StringToUtf8(item.FText);
    if (item.FUnloadable)
        attributes += " ld=\"0\"";
    if (!attributes.empty()) {
        if (attributes[0] != ' ')
            line += ' ';
        line += attributes;
    }

    if (!item.FItems.empty()) {
        WriteLn(line + ">");
        const TScopeFail dropReloaded([&] {
            if (reload)
                item.DestroyChildren();
        });
        for (TfrxXMLItem* child : item.FItems)
            WriteItem(*child, indent + 2);
        WriteLn(pad + "</" + name + ">");
    } else if (!item.FValue.empty()) {
        // Content is escaped so that no '<' or '&' in it can break the document.
        WriteLn(line + ">" + StringToUtf8(XMLEscapeText(item.FValue)) + "</" + name + ">");
    } else {
        WriteLn(line + "/>");
    }
    if (reload)
        item.DestroyChildren();
}

// ---- TfrxXMLDocument -------------------------------------------------------------------------

TfrxXMLDocument::TfrxXMLDocument() : FRoot(std::make_unique<TfrxXMLItem>()) {}

TfrxXMLDocument::~TfrxXMLDocument() {
    FRoot.reset();
    try {
        DeleteTempFile();
    } catch (...) {
    }
}

void TfrxXMLDocument::Clear() {
    FRoot->Clear();
    DeleteTempFile();
}

void TfrxXMLDocument::CreateTempFile() {
    if (FTempStream)
        return;
    const String name = ::vgl::CreateTempFile(DirectoryExists(TempDir) ? TempDir : String(), u"fr");
    const TScopeFail removeTemp([&] { DeleteFile(name); });
    FTempStream = std::make_unique<TFileStream>(name, fmOpenReadWrite);
    FTempFile = name;
}

void TfrxXMLDocument::DeleteTempFile() {
    if (FTempStream) {
        FTempStream.reset();
        DeleteFile(FTempFile);
        FTempFile.clear();
    }
    FLoadedStream.reset();
}

void TfrxXMLDocument::Load(TStream& stream, bool readChildren) {
    FRoot->Clear();
    FRoot->FOffset = 0;
    FRoot->FLoaded = true;
    FRoot->FSource = nullptr;
    FRoot->FName.clear();
    FRoot->FText.clear();
    TfrxXMLReader reader(stream);
    reader.ReadHeader();
    FOldVersion = reader.OldFormat;
    reader.ReadRootItem(*FRoot, readChildren);
}

void TfrxXMLDocument::LoadFromStream(TStream& stream) {
    DeleteTempFile();
    Load(stream, true);
}

void TfrxXMLDocument::LoadFromStream(std::unique_ptr<TStream> stream, bool allowPartialLoading) {
    // Checked before the streams are dropped: unloaded nodes of the current tree read from them.
    if (!stream)
        throw EArgumentException(u"TfrxXMLDocument.LoadFromStream: no stream");
    DeleteTempFile();
    if (!allowPartialLoading) {
        Load(*stream, true);
        return;
    }
    // Unloaded nodes point into this stream from now on.
    FLoadedStream = std::move(stream);
    Load(*FLoadedStream, false);
}

void TfrxXMLDocument::SaveToStream(TStream& stream) {
    TfrxXMLWriter writer(stream);
    writer.AutoIndent = AutoIndent;
    writer.TempStream = FTempStream.get();
    writer.WriteHeader();
    writer.WriteRootItem(*FRoot);
}

void TfrxXMLDocument::LoadFromFile(const String& fileName) {
    LoadFromStream(std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyWrite), true);
}

void TfrxXMLDocument::SaveToFile(const String& fileName) {
    const String tempName = fileName + u".tmp";
    const std::string nativeTemp = FileNameToNative(tempName);
    {
        const TScopeFail removeTemp([&] { DeleteFile(tempName); });
        TFileStream file(tempName, fmCreate);
        SaveToStream(file);
    }
    // rename() replaces the target atomically; until it succeeds the original file and the
    // streams this document reads unloaded nodes from stay untouched.
    if (std::rename(nativeTemp.c_str(), FileNameToNative(fileName).c_str()) != 0) {
        const int error = errno;
        DeleteFile(tempName);
        throw EFCreateError(u"Cannot create file \"" + fileName + u"\". " + Utf8ToString(std::strerror(error)));
    }
    // The new file is opened before the old streams are dropped, so a failure here leaves the
    // current tree with the streams its unloaded nodes read from.
    LoadFromStream(std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyWrite), true);
}

void TfrxXMLDocument::UnloadItem(TfrxXMLItem& item) {
    if (!item.FLoaded || !item.FUnloadable)
        return;
    CreateTempFile();
    const std::int64_t offset = FTempStream->Seek(0, soEnd);
    TfrxXMLWriter writer(*FTempStream);
    writer.WriteRootItem(item);
    item.MarkUnloaded(FTempStream.get(), false, offset);
}

void TfrxXMLDocument::LoadItem(TfrxXMLItem& item) {
    if (item.FLoaded || !item.FUnloadable || !item.FSource)
        return;
    const TScopeFail dropChildren([&] { item.DestroyChildren(); });
    TfrxXMLReader reader(*item.FSource);
    reader.OldFormat = item.FSourceOldFormat;
    reader.SetPosition(item.FOffset);
    reader.ReadRootItem(item, true);
    // The source is kept: the children are still there, so a later Clear of the node (which
    // unloads it) can read them back for writing or loading.
    item.FLoaded = true;
}

} // namespace vgl
