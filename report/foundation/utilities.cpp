#include "report/foundation/utilities.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/format.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

// ---- Geometry ------------------------------------------------------------------------------

TfrxRect MakeFrxRect(long double left, long double top, long double right, long double bottom) {
    return {left, top, right, bottom};
}

TfrxPoint MakeFrxPoint(long double x, long double y) {
    return {x, y};
}

bool TfrxRectArea::InterceptsX(const TfrxRectArea& a) const {
    return a.X < X1 - frxLengthTolerance && a.X1 > X + frxLengthTolerance;
}

bool TfrxRectArea::InterceptsY(const TfrxRectArea& a) const {
    return a.Y < Y1 - frxLengthTolerance && a.Y1 > Y + frxLengthTolerance;
}

std::optional<TfrxRectArea> TfrxRectArea::InterceptX(const TfrxRectArea& a) const {
    if (!InterceptsX(a))
        return std::nullopt;
    return TfrxRectArea(Max(X, a.X), 0, Min(X1, a.X1), 0);
}

std::optional<TfrxRectArea> TfrxRectArea::InterceptY(const TfrxRectArea& a) const {
    if (!InterceptsY(a))
        return std::nullopt;
    return TfrxRectArea(0, Max(Y, a.Y), 0, Min(Y1, a.Y1));
}

long double Max(long double x1, long double x2) {
    return x1 > x2 ? x1 : x2;
}

long double Min(long double x1, long double x2) {
    return x1 < x2 ? x1 : x2;
}

bool FloatsDiffer(long double a, long double b) {
    return std::fabs(a - b) > frxLengthTolerance;
}

// ---- Streams and hex text ------------------------------------------------------------------

std::uint32_t StreamCRC32(TStream& stream) {
    struct PositionKeeper {
        TStream& S;
        std::int64_t Saved;
        ~PositionKeeper() {
            try {
                S.SetPosition(Saved);
            } catch (...) {
                // The stream could be read but not repositioned: nothing better can be done here.
            }
        }
    } keeper{stream, stream.GetPosition()};

    const std::int64_t size = stream.GetSize();
    stream.SetPosition(0);
    uLong crc = crc32(0L, Z_NULL, 0);
    std::vector<Bytef> buffer(64 * 1024);
    for (std::int64_t left = size; left > 0;) {
        const std::int64_t n = stream.Read(buffer.data(), std::min<std::int64_t>(left, std::int64_t(buffer.size())));
        if (n <= 0)
            break;
        crc = crc32(crc, buffer.data(), uInt(n));
        left -= n;
    }
    return std::uint32_t(crc);
}

String StreamToHexText(const TMemoryStream& stream) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    const auto bytes = stream.Bytes();
    String result(bytes.size() * 2, u'0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        result[2 * i] = kDigits[bytes[i] >> 4];
        result[2 * i + 1] = kDigits[bytes[i] & 0xF];
    }
    return result;
}

void HexTextToStream(StringView text, TStream& stream) {
    // Converted completely before anything is written, so a damaged text never leaves partial or
    // made-up bytes in the stream.
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        if (high < 0 || low < 0)
            throw EConvertError(u"Invalid hexadecimal data at position %d", {int(i + 1)});
        bytes[i / 2] = std::uint8_t(high << 4 | low);
    }
    stream.SetPosition(0);
    stream.WriteBuffer(bytes);
}

// ---- Numbers and texts ---------------------------------------------------------------------

long double TextToFloat(StringView text) {
    const Char separator = FormatSettings().DecimalSeparator;
    String s;
    s.reserve(text.size());
    for (Char c : text) {
        if (c == u' ')
            continue;
        s += (c == u'.' || c == u',') ? separator : c;
    }
    return StrToFloat(s);
}

String FloatToDisplayText(long double value) {
    if (std::isfinite(value) && value == std::trunc(value))
        return FloatToStr(value);
    return Format(u"%2.2f", {value});
}

String FloatToFixedText(long double value, int digits, Char separator) {
    if (digits < 0 || digits > 18)
        throw EConvertError(u"Invalid number of decimals: %d", {digits});
    String s;
    if (std::isfinite(value) && std::fabs(value) < 1e18L) {
        s = ToString(FloatToFixedAscii(value, digits));
    } else if (std::isfinite(value)) {
        // Beyond 18 integer digits the runtime's fixed form turns into an exponent form, which
        // no consumer of these texts reads; the C library writes every digit.
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "%.*Lf", digits, value);
        s = ToString(buffer);
    } else {
        s = FloatToStr(value);
    }
    for (Char& c : s)
        if (c == u'.')
            c = separator;
    return s;
}

String IntToBinaryText(std::int32_t value) {
    const auto bits = std::uint32_t(value);
    String result;
    result.reserve(32);
    for (int i = 31; i >= 0; --i)
        result += (bits >> i & 1) ? u'1' : u'0';
    if (bits == 0)
        return result;
    size_t skip = 0;
    while ((bits >> (24 - skip)) == 0)
        skip += 8;
    return result.substr(skip);
}

String ReplaceChar(StringView text, Char oldChar, Char newChar) {
    String result(text);
    for (Char& c : result)
        if (c == oldChar)
            c = newChar;
    return result;
}

String SlashesToBackslashes(StringView text) {
    return ReplaceChar(text, u'/', u'\\');
}

String IfThenStr(bool flag, const String& first, const String& second) {
    return flag ? first : second;
}

long double IfThenFloat(bool flag, long double first, long double second) {
    return flag ? first : second;
}

int IfThenInt(bool flag, int first, int second) {
    return flag ? first : second;
}

void SplitTextByChar(TStrings& list, StringView text, Char separator) {
    list.Clear();
    if (text.empty() || (text.size() == 1 && text[0] == separator))
        return;
    size_t pieceStart = 0;
    const size_t last = text.size() - 1;
    for (size_t i = 0; i <= last; ++i) {
        if (i == last) {
            if (list.Count() > 0)
                list.Add(String(text.substr(pieceStart)));
        } else if (text[i] == separator && i > pieceStart) {
            list.Add(String(text.substr(pieceStart, i - pieceStart)));
            pieceStart = i + 1;
        }
    }
}

void FillListFromDelimited(StringView text, TStrings& list, Char delimiter) {
    list.Clear();
    size_t fieldStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == delimiter) {
            list.Add(String(text.substr(fieldStart, i - fieldStart)));
            fieldStart = i + 1;
        }
    }
    if (fieldStart < text.size())
        list.Add(String(text.substr(fieldStart)));
}

void ExpandPageNumbers(StringView text, TStrings& list, int lastPage) {
    list.Clear();
    String s;
    for (Char c : text)
        if (IsDigit(c) || c == u',' || c == u'-')
            s += c;
    if (s.empty())
        return;
    if (s.back() == u'-')
        s += IntToStr(lastPage);
    for (const String& item : SplitString(s, u',')) {
        if (item.empty())
            continue;
        const size_t dash = item.find(u'-');
        if (dash == String::npos) {
            (void)StrToInt(item); // raises for a number beyond 32 bits
            list.Add(item);
            continue;
        }
        const int first = StrToInt(StringView(item).substr(0, dash));
        // Cutting the range at the last page keeps "1-999999999" from filling memory with pages
        // that do not exist.
        const int limit = std::min(StrToInt(StringView(item).substr(dash + 1)), lastPage);
        for (std::int64_t page = first; page <= limit; ++page)
            list.Add(IntToStr(page));
    }
}

String ExtractBracketedExpression(StringView text, StringView openBracket, StringView closeBracket, int& start,
                                  int& end) {
    end = start;
    if (openBracket.empty() || closeBracket.empty() || start < 1 || size_t(start) > text.size() ||
        text.substr(size_t(start) - 1, openBracket.size()) != openBracket)
        return {};
    const size_t open = size_t(start) - 1;
    size_t pos = open + openBracket.size();
    int depth = 1;
    bool inSingle = false, inDouble = false;
    while (pos < text.size()) {
        const Char c = text[pos];
        if (c == u'\'' && !inDouble) {
            inSingle = !inSingle;
        } else if (c == u'"' && !inSingle) {
            inDouble = !inDouble;
        } else if (!inSingle && !inDouble) {
            // The closing text is tested first, so that equal opening and closing texts
            // ("%...%") still pair up.
            if (text.substr(pos, closeBracket.size()) == closeBracket) {
                if (--depth == 0) {
                    end = int(pos + closeBracket.size());
                    return String(text.substr(open + openBracket.size(), pos - open - openBracket.size()));
                }
                pos += closeBracket.size();
                continue;
            }
            if (text.substr(pos, openBracket.size()) == openBracket) {
                ++depth;
                pos += openBracket.size();
                continue;
            }
        }
        ++pos;
    }
    return {}; // never closed: not an expression
}

// ---- Components and names ------------------------------------------------------------------

namespace {

bool IsOfClass(const TObject* object, std::initializer_list<StringView> names) {
    if (!object)
        return false;
    auto matches = [&](StringView n) {
        for (StringView name : names)
            if (n == name)
                return true;
        return false;
    };
    if (matches(object->ClassName()))
        return true;
    for (TClass cls = object->ClassType(); cls; cls = cls->Parent())
        if (matches(cls->Name()))
            return true;
    return false;
}

bool IsReport(const TObject* object) {
    return IsOfClass(object, {u"TfrxReport"});
}

bool IsFormOrDataModule(const TObject* object) {
    return IsOfClass(object, {u"TCustomForm", u"TForm", u"TDataModule"});
}

bool IsFrame(const TObject* object) {
    return IsOfClass(object, {u"TCustomFrame", u"TFrame"});
}

std::mutex& GlobalLookupLock() {
    static std::mutex lock;
    return lock;
}

TFindGlobalComponent& GlobalLookup() {
    static TFindGlobalComponent lookup;
    return lookup;
}

constexpr size_t kMaxNamePart = 255;

} // namespace

String ComponentFullName(const TComponent* owner, const TComponent* component) {
    if (!component)
        return {};
    const TComponent* componentOwner = component->Owner();
    if (!componentOwner || componentOwner == owner || (IsReport(owner) && owner->Owner() == componentOwner))
        return component->Name();
    if (IsFormOrDataModule(componentOwner))
        return componentOwner->Name() + u"." + component->Name();
    if (IsFrame(componentOwner)) {
        const String frameName = componentOwner->Name() + u"." + component->Name();
        if (const TComponent* frameOwner = componentOwner->Owner())
            return frameOwner->Name() + u"." + frameName;
        return frameName;
    }
    return {};
}

void SetFindGlobalComponent(TFindGlobalComponent lookup) {
    std::lock_guard guard(GlobalLookupLock());
    GlobalLookup() = std::move(lookup);
}

TComponent* FindGlobalComponent(StringView name) {
    TFindGlobalComponent lookup;
    {
        std::lock_guard guard(GlobalLookupLock());
        lookup = GlobalLookup();
    }
    return lookup ? lookup(name) : nullptr;
}

TComponent* FindComponentByPath(TComponent* owner, StringView name) {
    const auto missing = [&] { return EClassNotFound(u"Missing " + String(name)); };
    try {
        const size_t dot = name.find(u'.');
        if (dot == StringView::npos) {
            if (!owner)
                return nullptr;
            TComponent* found = owner->FindComponent(name);
            if (!found && IsReport(owner) && owner->Owner())
                found = owner->Owner()->FindComponent(name);
            return found;
        }
        const StringView formName = name.substr(0, dot);
        const StringView rest = name.substr(dot + 1);
        const size_t frameDot = rest.find(u'.');
        const StringView firstName = rest.substr(0, frameDot);
        const StringView secondName = frameDot == StringView::npos ? StringView() : rest.substr(frameDot + 1);
        if (formName.size() > kMaxNamePart || firstName.size() > kMaxNamePart || secondName.size() > kMaxNamePart)
            throw missing();
        TComponent* form = FindGlobalComponent(formName);
        if (!form)
            return nullptr;
        TComponent* found = form->FindComponent(firstName);
        if (found && frameDot != StringView::npos)
            found = found->FindComponent(secondName);
        return found;
    } catch (const EClassNotFound&) {
        throw;
    } catch (const std::exception&) {
        throw missing();
    }
}

bool IsPrintablePictureView(const TObject* object) {
    if (!IsOfClass(object, {u"TfrxPictureView"}))
        return false;
    const auto* component = dynamic_cast<const TComponent*>(object);
    return component && component->Name() != u"_pagebackground";
}

// ---- Files and folders ---------------------------------------------------------------------

String GetTempFolder() {
    return GetTempPath();
}

String GetTempFileNameInTemp() {
    return CreateTempFile(String(), u"fr");
}

String GetTempFileNameInFolder(const String& folder) {
    return CreateTempFile(folder, u"fr");
}

String GetModuleFileNameOrExe() {
    return ProgramFileName();
}

String GetModuleFolder() {
    return ProgramFolder();
}

bool DirectoryExistsAt(const String& folder) {
    return DirectoryExists(folder);
}

String CollapsePathDots(StringView path) {
    auto isDelimiter = [](Char c) { return c == u'\\' || c == u'/'; };
    size_t prefix;
    if (path.size() >= 3 && (path[1] == u':' || isDelimiter(path[2])))
        prefix = 2;
    else if (!path.empty() && path[0] == u'/')
        prefix = 0;
    else
        return String(path);

    // Segments after the prefix, each with the delimiter that precedes it.
    struct Segment {
        StringView Delimiter, Name;
    };
    std::vector<Segment> segments;
    size_t pos = prefix;
    while (pos < path.size()) {
        const size_t nameStart = isDelimiter(path[pos]) ? pos + 1 : pos;
        size_t nameEnd = nameStart;
        while (nameEnd < path.size() && !isDelimiter(path[nameEnd]))
            ++nameEnd;
        const bool followedByDelimiter = nameEnd < path.size();
        const Segment segment{path.substr(pos, nameStart - pos), path.substr(nameStart, nameEnd - nameStart)};
        if (followedByDelimiter && segment.Name == u".") {
            // dropped with its delimiter
        } else if (followedByDelimiter && segment.Name == u"..") {
            if (!segments.empty())
                segments.pop_back();
        } else {
            segments.push_back(segment);
        }
        pos = nameEnd;
    }
    String result(path.substr(0, prefix));
    for (const Segment& segment : segments) {
        result += segment.Delimiter;
        result += segment.Name;
    }
    return result;
}

namespace {

void DeleteTree(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, error), endIt; !error && it != endIt; it.increment(error))
        entries.push_back(it->path());
    for (const fs::path& entry : entries) {
        const fs::file_status status = fs::symlink_status(entry, error);
        if (!error && fs::is_directory(status))
            DeleteTree(entry);
        else
            fs::remove(entry, error);
    }
    fs::remove(folder, error);
}

} // namespace

void DeleteFolderTree(const String& folder) {
    namespace fs = std::filesystem;
    const fs::path path(FileNameToNative(folder));
    std::error_code error;
    // A link to a folder is not the folder: its target is left alone.
    if (folder.empty() || !fs::is_directory(fs::symlink_status(path, error)))
        return;
    DeleteTree(path);
}

// ---- Error reporting -----------------------------------------------------------------------

namespace {

std::mutex& MessageLogLock() {
    static std::mutex lock;
    return lock;
}

TfrxMessageLog& MessageLog() {
    static TfrxMessageLog log;
    return log;
}

} // namespace

void SetErrorMessageLog(TfrxMessageLog log) {
    std::lock_guard guard(MessageLogLock());
    MessageLog() = std::move(log);
}

void ErrorMessageBox(const String& text) {
    const String caption = frxResourcesInstance().Get(u"mbError");
    TfrxMessageLog log;
    {
        std::lock_guard guard(MessageLogLock());
        log = MessageLog();
    }
    if (log) {
        log(caption, text);
        return;
    }
    std::lock_guard guard(MessageLogLock()); // one line at a time
    std::cerr << StringToUtf8(caption) << ": " << StringToUtf8(text) << std::endl;
}

void ReportErrorMessage(TfrxSilentMode silentMode, const String& message) {
    switch (silentMode) {
    case simMessageBoxes:
        ErrorMessageBox(message);
        break;
    case simReThrow:
        throw Exception(message);
    case simSilent:
        break;
    }
}

} // namespace vgl
