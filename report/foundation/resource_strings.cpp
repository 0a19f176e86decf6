#include "report/foundation/resource_strings.h"

#include "platform/rtl/file_utils.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_escaping.h"

namespace vgl {

TfsScriptMessages& fsScriptMessages() {
    static TfsScriptMessages messages;
    return messages;
}

TfrxResources::TfrxResources() {
    FillLanguages();
}

String TfrxResources::Get(const String& strName) const {
    const auto it = FNames.find(AnsiUpperCase(strName));
    String text = it != FNames.end() ? FValues.Get(it->second) : strName;
    if (!text.empty() && text[0] == u'!')
        text.erase(0, 1);
    return text;
}

void TfrxResources::AddW(const String& ref, const String& str) {
    const auto [it, added] = FNames.try_emplace(AnsiUpperCase(ref), FValues.Count());
    if (added)
        FValues.Add(str);
    else
        FValues.Put(it->second, str);
}

void TfrxResources::Add(const String& ref, const AnsiString& str) {
    AddW(ref, AnsiToString(str));
}

void TfrxResources::AddStrings(const String& str) {
    TStringList lines;
    lines.SetText(str);
    for (int i = 0; i < lines.Count(); ++i) {
        const String line = lines.Get(i);
        const size_t eq = line.find(u'=');
        if (eq == String::npos || eq == 0 || eq + 1 == line.size())
            continue;
        AddW(line.substr(0, eq), line.substr(eq + 1));
    }
}

void TfrxResources::AddXML(std::string_view str) {
    TStringStream stream{RawByteString(str)};
    LoadFromStream(stream);
}

void TfrxResources::LoadFromFile(const String& fileName) {
    if (!FileExists(fileName))
        return;
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(file);
}

void TfrxResources::LoadFromStream(TStream& stream) {
    TfrxXMLDocument doc;
    doc.LoadFromStream(stream);
    const TfrxXMLItem* root = doc.Root();
    if (root->Name() == u"Resources") {
        FCP = unsigned(StrToInt(root->GetProp(u"CodePage")));
        for (int i = 0; i < root->Count(); ++i) {
            const TfrxXMLItem* item = root->Items(i);
            if (item->Name() != u"StrRes")
                continue;
            // Texts are stored escaped twice: once for the attribute, once more for the table.
            String text = XMLUnescapeText(item->GetProp(u"Text"));
            if (doc.OldVersion())
                text = Utf8ToString(StringToAnsi(text));
            AddW(item->GetProp(u"Name"), text);
        }
    }
    UpdateFSResources();
}

void TfrxResources::Clear() {
    FNames.clear();
    FValues.Clear();
}

void TfrxResources::UpdateFSResources() {
    TfsScriptMessages& m = fsScriptMessages();
    struct Row {
        const char16_t* Key;
        String TfsScriptMessages::*Text;
    };
    static const Row kRows[] = {
        {u"SLangNotFound", &TfsScriptMessages::SLangNotFound},
        {u"SInvalidLanguage", &TfsScriptMessages::SInvalidLanguage},
        {u"SIdRedeclared", &TfsScriptMessages::SIdRedeclared},
        {u"SUnknownType", &TfsScriptMessages::SUnknownType},
        {u"SIncompatibleTypes", &TfsScriptMessages::SIncompatibleTypes},
        {u"SIdUndeclared", &TfsScriptMessages::SIdUndeclared},
        {u"SClassRequired", &TfsScriptMessages::SClassRequired},
        {u"SIndexRequired", &TfsScriptMessages::SIndexRequired},
        {u"SStringError", &TfsScriptMessages::SStringError},
        {u"SClassError", &TfsScriptMessages::SClassError},
        {u"SArrayRequired", &TfsScriptMessages::SArrayRequired},
        {u"SVarRequired", &TfsScriptMessages::SVarRequired},
        {u"SNotEnoughParams", &TfsScriptMessages::SNotEnoughParams},
        {u"STooManyParams", &TfsScriptMessages::STooManyParams},
        {u"SLeftCantAssigned", &TfsScriptMessages::SLeftCantAssigned},
        {u"SForError", &TfsScriptMessages::SForError},
        {u"SEventError", &TfsScriptMessages::SEventError},
    };
    for (const Row& row : kRows)
        m.*row.Text = Get(row.Key);
}

void TfrxResources::FillLanguages() {
    FLanguages.Clear();
    for (const TSearchRec& file : FindFiles(ProgramFolder(), u"*.frc")) {
        String name = LowerCase(file.Name);
        const size_t ext = name.find(u".frc");
        if (ext != String::npos)
            name.erase(ext, 4);
        if (!name.empty())
            name[0] = UpperCase(name.substr(0, 1))[0];
        FLanguages.Add(name);
    }
    FLanguages.Sort();
}

TfrxResources& frxResourcesInstance() {
    static TfrxResources instance;
    return instance;
}

String frxResourceText(int number) {
    return frxResourcesInstance().Get(IntToStr(number));
}

void AddResourceDocument(StringView resourceName) {
    const auto bytes = FindResource(resourceName, u"XML");
    if (!bytes)
        throw EResNotFound(u"Resource " + String(resourceName) + u" not found");
    frxResourcesInstance().AddXML(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

} // namespace vgl
