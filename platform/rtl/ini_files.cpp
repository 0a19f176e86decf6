#include "platform/rtl/ini_files.h"

#include <sys/stat.h>
#include <utility>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

VGL_DEFINE_CLASS(TCustomIniFile) {}
VGL_DEFINE_CLASS(TMemIniFile) {}
VGL_DEFINE_CLASS(TIniFile) {}

namespace {

bool HasLineBreak(StringView s) {
    return s.find_first_of(u"\r\n") != StringView::npos;
}

// A section, key or value that would be read back differently (or as other lines) is refused.
void CheckWritable(const String& section, const String& ident, const String& value) {
    if (HasLineBreak(section))
        throw EIniFileException(u"Invalid section name \"%s\": line breaks are not allowed", {section});
    if (HasLineBreak(ident) || ident.find(u'=') != String::npos)
        throw EIniFileException(u"Invalid key name \"%s\": \"=\" and line breaks are not allowed", {ident});
    if (HasLineBreak(value))
        throw EIniFileException(u"Invalid value of key \"%s\": line breaks are not allowed", {ident});
}

bool RegularFileExists(const String& fileName) {
    struct stat info;
    return ::stat(FileNameToNative(fileName).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

// ---- TCustomIniFile -----------------------------------------------------------------------

int TCustomIniFile::ReadInteger(const String& section, const String& ident, int defaultValue) const {
    String text = ReadString(section, ident, String());
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        text.erase(0, 1);
        text[0] = u'$';
    }
    return StrToIntDef(text, defaultValue);
}

void TCustomIniFile::WriteInteger(const String& section, const String& ident, int value) {
    WriteString(section, ident, IntToStr(value));
}

bool TCustomIniFile::ReadBool(const String& section, const String& ident, bool defaultValue) const {
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const String& section, const String& ident, bool value) {
    WriteString(section, ident, value ? u"1" : u"0");
}

double TCustomIniFile::ReadFloat(const String& section, const String& ident, double defaultValue) const {
    double value;
    const String text = ReadString(section, ident, String());
    return !text.empty() && TryStrToFloat(text, value) ? value : defaultValue;
}

void TCustomIniFile::WriteFloat(const String& section, const String& ident, double value) {
    WriteString(section, ident, FloatToStr(value));
}

TDateTime TCustomIniFile::ReadDate(const String& section, const String& ident, TDateTime defaultValue) const {
    TDateTime value;
    const String text = ReadString(section, ident, String());
    return !text.empty() && TryStrToDate(text, value) ? value : defaultValue;
}

void TCustomIniFile::WriteDate(const String& section, const String& ident, TDateTime value) {
    WriteString(section, ident, DateToStr(value));
}

TDateTime TCustomIniFile::ReadTime(const String& section, const String& ident, TDateTime defaultValue) const {
    TDateTime value;
    const String text = ReadString(section, ident, String());
    return !text.empty() && TryStrToTime(text, value) ? value : defaultValue;
}

void TCustomIniFile::WriteTime(const String& section, const String& ident, TDateTime value) {
    WriteString(section, ident, TimeToStr(value));
}

TDateTime TCustomIniFile::ReadDateTime(const String& section, const String& ident, TDateTime defaultValue) const {
    TDateTime value;
    const String text = ReadString(section, ident, String());
    return !text.empty() && TryStrToDateTime(text, value) ? value : defaultValue;
}

void TCustomIniFile::WriteDateTime(const String& section, const String& ident, TDateTime value) {
    WriteString(section, ident, DateTimeToStr(value));
}

void TCustomIniFile::WriteBinaryStream(const String& section, const String& ident, TStream& value) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    const std::int64_t oldPosition = value.GetPosition();
    std::vector<std::uint8_t> bytes;
    const TScopeExit restorePosition([&] { value.SetPosition(oldPosition); });
    bytes = value.ReadRemaining();
    String text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text.push_back(kHex[b >> 4]);
        text.push_back(kHex[b & 0xF]);
    }
    WriteString(section, ident, text);
}

std::int64_t TCustomIniFile::ReadBinaryStream(const String& section, const String& ident, TStream& value) const {
    const String text = ReadString(section, ident, String());
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        const int hi = HexDigitValue(text[i]), lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            break;
        bytes.push_back(std::uint8_t(hi << 4 | lo));
    }
    value.WriteBuffer(bytes);
    return std::int64_t(bytes.size());
}

bool TCustomIniFile::SectionExists(const String& section) const {
    TStringList keys;
    ReadSection(section, keys);
    return keys.Count() > 0;
}

bool TCustomIniFile::ValueExists(const String& section, const String& ident) const {
    TStringList keys;
    ReadSection(section, keys);
    return keys.IndexOf(ident) >= 0;
}

// ---- TMemIniFile --------------------------------------------------------------------------

TMemIniFile::TMemIniFile(const String& fileName) : TCustomIniFile(fileName) {
    if (fileName.empty() || !RegularFileExists(fileName))
        return;
    TStringList lines;
    lines.LoadFromFile(fileName);
    FEncoding = lines.Encoding();
    SetStrings(lines);
}

TMemIniFile::~TMemIniFile() = default;

const TMemIniFile::Section* TMemIniFile::FindSection(const String& name) const {
    for (const Section& s : FSections)
        if (AnsiSameText(s.Name, name))
            return &s;
    return nullptr;
}

TMemIniFile::Section* TMemIniFile::FindSection(const String& name) {
    return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

TMemIniFile::Section& TMemIniFile::AddSection(const String& name) {
    if (Section* existing = FindSection(name))
        return *existing;
    FSections.push_back(Section{name, std::make_unique<TStringList>()});
    return FSections.back();
}

String TMemIniFile::ReadString(const String& section, const String& ident, const String& defaultValue) const {
    if (const Section* s = FindSection(section)) {
        const int i = s->Lines->IndexOfName(ident);
        if (i >= 0)
            return s->Lines->ValueFromIndex(i);
    }
    return defaultValue;
}

void TMemIniFile::WriteString(const String& section, const String& ident, const String& value) {
    CheckWritable(section, ident, value);
    TStringList& lines = *AddSection(section).Lines;
    const String line = ident + u"=" + value;
    const int i = lines.IndexOfName(ident);
    if (i >= 0)
        lines.Put(i, line);
    else
        lines.Add(line);
}

void TMemIniFile::ReadSection(const String& section, TStrings& strings) const {
    strings.BeginUpdate();
    const TScopeExit endUpdate([&] { strings.EndUpdate(); });
    strings.Clear();
    if (const Section* s = FindSection(section))
        for (int i = 0; i < s->Lines->Count(); ++i)
            if (s->Lines->Get(i).find(u'=') != String::npos)
                strings.Add(s->Lines->Names(i));
}

void TMemIniFile::ReadSections(TStrings& strings) const {
    strings.BeginUpdate();
    const TScopeExit endUpdate([&] { strings.EndUpdate(); });
    strings.Clear();
    for (const Section& s : FSections)
        strings.Add(s.Name);
}

void TMemIniFile::ReadSectionValues(const String& section, TStrings& strings) const {
    strings.BeginUpdate();
    const TScopeExit endUpdate([&] { strings.EndUpdate(); });
    strings.Clear();
    if (const Section* s = FindSection(section))
        strings.AddStrings(*s->Lines);
}

void TMemIniFile::EraseSection(const String& section) {
    for (auto it = FSections.begin(); it != FSections.end(); ++it)
        if (AnsiSameText(it->Name, section)) {
            FSections.erase(it);
            return;
        }
}

void TMemIniFile::DeleteKey(const String& section, const String& ident) {
    if (Section* s = FindSection(section)) {
        const int i = s->Lines->IndexOfName(ident);
        if (i >= 0)
            s->Lines->Delete(i);
    }
}

void TMemIniFile::UpdateFile() {
    TStringList lines;
    GetStrings(lines);
    lines.SaveToFile(FileName(), FEncoding);
}

void TMemIniFile::Clear() {
    FSections.clear();
}

void TMemIniFile::GetStrings(TStrings& list) const {
    list.BeginUpdate();
    const TScopeExit endUpdate([&] { list.EndUpdate(); });
    list.Clear();
    for (const Section& s : FSections) {
        list.Add(u"[" + s.Name + u"]");
        list.AddStrings(*s.Lines);
        list.Add(String());
    }
}

void TMemIniFile::SetStrings(const TStrings& list) {
    std::vector<Section> parsed;
    FSections.swap(parsed);
    const TScopeFail restore([&] { FSections.swap(parsed); });
    TStringList* current = nullptr;
    for (int i = 0; i < list.Count(); ++i) {
        const String s = Trim(list.Get(i));
        if (s.empty() || s[0] == u';')
            continue;
        if (s[0] == u'[' && s.back() == u']' && s.size() >= 2) {
            current = AddSection(Trim(StringView(s).substr(1, s.size() - 2))).Lines.get();
        } else if (current != nullptr) {
            const size_t p = s.find(u'=');
            if (p != String::npos)
                current->Add(Trim(StringView(s).substr(0, p)) + u"=" + Trim(StringView(s).substr(p + 1)));
            else
                current->Add(s);
        }
    }
}

// ---- TIniFile -----------------------------------------------------------------------------

String TIniFile::ReadString(const String& section, const String& ident, const String& defaultValue) const {
    return TMemIniFile(FileName()).ReadString(section, ident, defaultValue);
}

void TIniFile::WriteString(const String& section, const String& ident, const String& value) {
    TMemIniFile ini(FileName());
    ini.WriteString(section, ident, value);
    ini.UpdateFile();
}

void TIniFile::ReadSection(const String& section, TStrings& strings) const {
    TMemIniFile(FileName()).ReadSection(section, strings);
}

void TIniFile::ReadSections(TStrings& strings) const {
    TMemIniFile(FileName()).ReadSections(strings);
}

void TIniFile::ReadSectionValues(const String& section, TStrings& strings) const {
    TMemIniFile(FileName()).ReadSectionValues(section, strings);
}

void TIniFile::EraseSection(const String& section) {
    TMemIniFile ini(FileName());
    ini.EraseSection(section);
    ini.UpdateFile();
}

void TIniFile::DeleteKey(const String& section, const String& ident) {
    TMemIniFile ini(FileName());
    ini.DeleteKey(section, ident);
    ini.UpdateFile();
}

} // namespace vgl
