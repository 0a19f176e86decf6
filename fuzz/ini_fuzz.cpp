// Ini contents parsed from text: sections, keys and values read back through every typed reader.
// links: vgl_platform_rtl
#include "fuzz/fuzz_input.h"
#include "platform/rtl/ini_files.h"
#include "platform/rtl/streams.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::Guarded([&] {
        TStringList text;
        TBytesStream stream(std::span<const std::uint8_t>(data, size));
        text.LoadFromStream(stream);
        TMemIniFile ini(u"");
        ini.SetStrings(text);
        TStringList sections;
        ini.ReadSections(sections);
        for (int s = 0; s < sections.Count(); ++s) {
            const String section = sections[s];
            TStringList keys;
            ini.ReadSection(section, keys);
            for (int k = 0; k < keys.Count(); ++k) {
                const String key = keys[k];
                ini.ReadString(section, key, u"");
                ini.ReadInteger(section, key, 0);
                ini.ReadBool(section, key, false);
                ini.ReadFloat(section, key, 0);
                ini.ReadDateTime(section, key, 0);
                TMemoryStream binary;
                ini.ReadBinaryStream(section, key, binary);
            }
            TStringList values;
            ini.ReadSectionValues(section, values);
        }
        // The contents written out must parse to the same contents.
        TStringList written;
        ini.GetStrings(written);
        TMemIniFile again(u"");
        again.SetStrings(written);
        TStringList rewritten;
        again.GetStrings(rewritten);
        fuzz::Require(rewritten.Text() == written.Text());
    });
    return 0;
}
