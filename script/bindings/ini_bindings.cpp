#include "script/bindings/ini_bindings.h"

#include "platform/rtl/ini_files.h"

namespace vgl::fs_ini {

namespace {

template <class T> TClass Cls() {
    return &T::StaticClassInfo();
}

// The operations both ini-file classes register, after their constructor (the in-memory class
// adds Clear, GetStrings and SetStrings before the two stream operations).
constexpr const char16_t* FileOperations[] = {
    u"procedure WriteString(const Section, Ident, Value: String)",
    u"function ReadString(const Section, Ident, Default: String): String;",
    u"procedure ReadSectionValuesEx(const Section: String; Strings: TStrings)",
    u"procedure DeleteKey(const Section, Ident: String)",
    u"procedure ReadSection(const Section: String; Strings: TStrings)",
    u"procedure ReadSections(Strings: TStrings)",
    u"procedure ReadSectionValues(const Section: String; Strings: TStrings)",
    u"procedure EraseSection(const Section: String)",
};
constexpr const char16_t* MemoryOperations[] = {
    u"procedure Clear",
    u"procedure GetStrings(List: TStrings)",
    u"procedure SetStrings(List: TStrings)",
};
constexpr const char16_t* StreamOperations[] = {
    u"procedure SaveIniFileToStream(oStream: TStream)",
    u"procedure LoadIniFileFromStream(oStream: TStream)",
};

} // namespace

TFunctions::TFunctions(TfsScript* script) : TfsPendingModule(script) {
    TfsScript& s = *script;
    const auto method = Method();

    if (auto* c = s.AddClass(Cls<TCustomIniFile>(), u"TObject")) {
        c->AddConstructor(u"constructor Create(const FileName: String)", method);
        for (const char16_t* syntax : {
                 u"function ReadInteger(const Section, Ident: String; Default: LongInt): LongInt",
                 u"procedure WriteInteger(const Section, Ident: String; Value: LongInt)",
                 u"function ReadBool(const Section, Ident: String; Default: Boolean): Boolean",
                 u"procedure WriteBool(const Section, Ident: String; Value: Boolean)",
                 u"function ReadDate(const Section, Name: String; Default: TDateTime): TDateTime",
                 u"procedure WriteDate(const Section, Name: String; Value: TDateTime)",
                 u"function ReadDateTime(const Section, Name: String; Default: TDateTime): TDateTime",
                 u"procedure WriteDateTime(const Section, Name: String; Value: TDateTime)",
                 u"function ReadFloat(const Section, Name: String; Default: Double): Double",
                 u"procedure WriteFloat(const Section, Name: String; Value: Double)",
                 u"function ReadTime(const Section, Name: String; Default: TDateTime): TDateTime",
                 u"procedure WriteTime(const Section, Name: String; Value: TDateTime);",
                 u"function ReadBinaryStream(const Section, Name: String; Value: TStream): Integer",
                 u"procedure WriteBinaryStream(const Section, Name: String; Value: TStream)",
                 u"function SectionExists(const Section: String): Boolean",
                 u"function ValueExists(const Section, Ident: String): Boolean",
                 u"procedure WriteTStrings(const Section :String; Value :TStrings; IsClear :Boolean = True)",
                 u"function ReadTStrings(const Section :String; Value :TStrings; IsClear :Boolean = True): String;",
             })
            c->AddMethod(syntax, method);
        c->AddProperty(u"FileName", u"String", Getter());
    }
    if (auto* c = s.AddClass(Cls<TMemIniFile>(), u"TCustomIniFile")) {
        c->AddConstructor(u"constructor Create(const FileName: String)", method);
        for (const char16_t* syntax : FileOperations)
            c->AddMethod(syntax, method);
        for (const char16_t* syntax : MemoryOperations)
            c->AddMethod(syntax, method);
        for (const char16_t* syntax : StreamOperations)
            c->AddMethod(syntax, method);
    }
    if (auto* c = s.AddClass(Cls<TIniFile>(), u"TCustomIniFile")) {
        for (const char16_t* syntax : FileOperations)
            c->AddMethod(syntax, method);
        for (const char16_t* syntax : StreamOperations)
            c->AddMethod(syntax, method);
    }
}

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script) {
    return std::make_unique<TFunctions>(script);
}

} // namespace vgl::fs_ini
