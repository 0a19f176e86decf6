// The label templates as stored: well-formed report XML whose objects, read from the engine's XML
// item tree, equal the expected table of tests/labels/data/service_templates.txt (typed from the
// label layouts, not generated from the templates), and the values the label module relies on.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "labels/label_templates.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/property_encoding.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/utilities.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_item.h"

namespace vgl {
namespace {

constexpr double PixelsPerMm = 3.77953;
const std::vector<std::string> ServiceTemplates{"frxGeoLabel", "frxLimitedQty", "frxSWAP", "frxReceipt", "frxReturn"};

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        pclose(p);
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string U8(const String& s) {
    return StringToUtf8(s);
}

double Number(const std::string& text) {
    size_t used = 0;
    const double v = std::stod(text, &used);
    if (used != text.size())
        throw std::invalid_argument("not a number: " + text);
    return v;
}

/// A number in one canonical text, so "-6.0" and "-6" compare equal.
std::string Canonical(const std::string& text) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", Number(text));
    return buffer;
}

struct Document {
    TfrxXMLDocument doc;
    TfrxXMLItem& Report() { return *doc.Root(); }
    TfrxXMLItem& Page() {
        for (int i = 0; i < Report().Count(); ++i)
            if (Report()[i]->Name() == u"TfrxReportPage")
                return *Report()[i];
        throw std::runtime_error("no report page");
    }
};

std::unique_ptr<Document> LoadTemplate(const std::string& name) {
    auto d = std::make_unique<Document>();
    TBytesStream stream(LabelTemplate(Utf8ToString(name)));
    d->doc.LoadFromStream(stream);
    return d;
}

std::string Prop(const TfrxXMLItem& item, const char16_t* name) {
    return U8(item.Prop(name));
}

// ---- the expected table --------------------------------------------------------------------

struct Row {
    std::string name, kind;
    double geometry[4] = {};
    std::string font; ///< "family|height|bold" or empty
    std::map<std::string, std::string> layout;
    std::vector<std::string> lines;
};

struct Expected {
    std::string page;
    double paper[4] = {}; // width, height, left and right margin
    std::vector<Row> rows;
};

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '|') {
            cells.push_back(Trim(Utf8ToString(cell)).empty() ? "" : U8(Trim(Utf8ToString(cell))));
            cell.clear();
        } else {
            cell += line[i];
        }
    }
    return cells;
}

/// The layout words of the table as canonical settings.
std::map<std::string, std::string> LayoutWords(const std::string& text, const std::string& where) {
    std::map<std::string, std::string> out;
    std::stringstream words(text);
    std::string word;
    const std::pair<const char*, const char*> numbered[] = {{"gap x ", "gapx"},
                                                            {"gap y ", "gapy"},
                                                            {"line spacing ", "linespacing"},
                                                            {"char spacing ", "charspacing"},
                                                            {"frame width ", "framewidth"},
                                                            {"zoom ", "zoom"}};
    while (std::getline(words, word, ',')) {
        word = U8(Trim(Utf8ToString(word)));
        bool done = false;
        for (auto [prefix, key] : numbered)
            if (word.rfind(prefix, 0) == 0) {
                out[key] = Canonical(word.substr(std::string(prefix).size()));
                done = true;
            }
        if (done)
            continue;
        if (word == "auto width")
            out["autowidth"] = "1";
        else if (word.rfind("tag ", 0) == 0)
            out["tag"] = word.substr(4);
        else if (word == "right")
            out["halign"] = "right";
        else if (word == "centred")
            out["halign"] = "center";
        else if (word == "v-centred")
            out["valign"] = "center";
        else if (word == "rotated -90°")
            out["rotation"] = "270";
        else if (word == "frame top")
            out["frame"] = "top";
        else if (word == "frame left+right+top+bottom")
            out["frame"] = "left+right+top+bottom";
        else if (word == "word wrap")
            out["wordwrap"] = "1";
        else if (word == "Code 128")
            out["barcode"] = "Code128";
        else if (word == "no text")
            out["showtext"] = "0";
        else
            ADD_FAILURE() << where << ": unknown layout word '" << word << "'";
    }
    return out;
}

std::map<std::string, Expected> ReadExpected() {
    std::ifstream in(std::string(VGL_TEST_DATA_DIR) + "/service_templates.txt");
    std::map<std::string, Expected> result;
    Expected* current = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) {
            std::stringstream s(line.substr(3));
            std::string name, w, h, l, r;
            s >> name;
            current = &result[name];
            s >> current->page >> w >> h >> l >> r;
            current->paper[0] = Number(w);
            current->paper[1] = Number(h);
            current->paper[2] = Number(l);
            current->paper[3] = Number(r);
        } else if (line.rfind("| ", 0) == 0 && current) {
            const auto cells = Cells(line);
            EXPECT_EQ(cells.size(), 6u) << line;
            if (cells.size() != 6)
                continue;
            Row row;
            row.name = cells[0];
            row.kind = cells[1];
            std::stringstream geometry(cells[2]);
            std::string part;
            for (int i = 0; i < 4 && std::getline(geometry, part, ','); ++i)
                row.geometry[i] = Number(U8(Trim(Utf8ToString(part))));
            std::smatch m;
            if (std::regex_match(cells[3], m, std::regex("(.+) ([0-9]+) px( bold)?")))
                row.font = m[1].str() + "|" + m[2].str() + "|" + (m[3].matched ? "1" : "0");
            row.layout = LayoutWords(cells[4], row.name);
            const std::regex part_re("\"([^\"]*)\"|\\(empty line\\)");
            for (auto it = std::sregex_iterator(cells[5].begin(), cells[5].end(), part_re);
                 it != std::sregex_iterator(); ++it)
                row.lines.push_back((*it)[1].matched ? (*it)[1].str() : "");
            current->rows.push_back(row);
        }
    }
    return result;
}

// ---- the dump of a template ----------------------------------------------------------------

std::string Sides(int typ) {
    static const char* names[] = {"left", "right", "top", "bottom"};
    std::string out;
    for (int i = 0; i < 4; ++i)
        if (typ & (1 << i))
            out += (out.empty() ? "" : "+") + std::string(names[i]);
    return out;
}

Row Dump(const TfrxXMLItem& item) {
    Row row;
    row.name = Prop(item, u"Name");
    static const std::map<std::string, std::string> kinds{{"TfrxMemoView", "memo"},
                                                          {"TfrxPictureView", "picture"},
                                                          {"TfrxBarCodeView", "barcode"},
                                                          {"TfrxLineView", "line"},
                                                          {"TfrxShapeView", "shape"}};
    const std::string cls = U8(item.Name());
    row.kind = kinds.count(cls) ? kinds.at(cls) : cls;
    const char16_t* geometry[] = {u"Left", u"Top", u"Width", u"Height"};
    for (int i = 0; i < 4; ++i)
        row.geometry[i] = Number(Prop(item, geometry[i])) / PixelsPerMm;
    if (item.PropExists(u"Font.Name"))
        row.font = Prop(item, u"Font.Name") + "|" + std::to_string(-std::stoi(Prop(item, u"Font.Height"))) + "|" +
                   std::to_string(std::stoi(Prop(item, u"Font.Style")) & 1);
    auto& l = row.layout;
    auto differs = [&](const char16_t* name, double byDefault) {
        return item.PropExists(name) && std::abs(Number(Prop(item, name)) - byDefault) > 1e-9;
    };
    if (Prop(item, u"AutoWidth") == "True")
        l["autowidth"] = "1";
    if (!Prop(item, u"TagStr").empty())
        l["tag"] = Prop(item, u"TagStr");
    const std::string hAlign = Prop(item, u"HAlign");
    if (hAlign == "haRight" || hAlign == "haCenter" || hAlign == "haBlock")
        l["halign"] = hAlign == "haRight" ? "right" : hAlign == "haCenter" ? "center" : "block";
    if (row.kind == "picture" && Prop(item, u"Center") == "True")
        l["halign"] = "center";
    const std::string vAlign = Prop(item, u"VAlign");
    if (vAlign == "vaCenter" || vAlign == "vaBottom")
        l["valign"] = vAlign == "vaCenter" ? "center" : "bottom";
    if (row.kind == "memo") {
        if (differs(u"GapX", 2))
            l["gapx"] = Canonical(Prop(item, u"GapX"));
        if (differs(u"GapY", 1))
            l["gapy"] = Canonical(Prop(item, u"GapY"));
        if (differs(u"LineSpacing", 2))
            l["linespacing"] = Canonical(Prop(item, u"LineSpacing"));
        if (differs(u"CharSpacing", 0))
            l["charspacing"] = Canonical(Prop(item, u"CharSpacing"));
        // The memo's own default is to wrap.
        if (Prop(item, u"WordWrap") != "False")
            l["wordwrap"] = "1";
        std::string text = Prop(item, u"Text");
        if (!text.empty() || item.PropExists(u"Text")) {
            size_t start = 0;
            for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
                row.lines.push_back(text.substr(start, end - start));
            if (!text.empty())
                row.lines.push_back(text.substr(start));
        }
    }
    if (differs(u"Rotation", 0))
        l["rotation"] = Canonical(Prop(item, u"Rotation"));
    if (row.kind != "line" && item.PropExists(u"Frame.Typ") && std::stoi(Prop(item, u"Frame.Typ")) != 0)
        l["frame"] = Sides(std::stoi(Prop(item, u"Frame.Typ")));
    if (differs(u"Frame.Width", 1))
        l["framewidth"] = Canonical(Prop(item, u"Frame.Width"));
    if (row.kind == "barcode") {
        const std::string type = Prop(item, u"BarType");
        l["barcode"] = type.rfind("bc", 0) == 0 ? type.substr(2) : type;
        l["barcode"].erase(std::remove(l["barcode"].begin(), l["barcode"].end(), '_'), l["barcode"].end());
        if (differs(u"Zoom", 1))
            l["zoom"] = Canonical(Prop(item, u"Zoom"));
        if (Prop(item, u"ShowText") == "False")
            l["showtext"] = "0";
    }
    return row;
}

std::string Describe(const std::map<std::string, std::string>& m) {
    std::string out;
    for (const auto& [k, v] : m)
        out += k + "=" + v + " ";
    return out;
}

std::string Describe(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& s : lines)
        out += "[" + s + "]";
    return out;
}

// ---- tests ---------------------------------------------------------------------------------

TEST(LabelTemplates, EveryTemplateIsWellFormedXml) {
    for (const String& name : LabelTemplateNames()) {
        const auto bytes = LabelTemplate(name);
        const std::string path =
            std::filesystem::temp_directory_path() / ("label_template_" + std::to_string(getpid()) + ".xml");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        EXPECT_EQ(Shell("xmllint --noout '" + path + "' 2>&1"), "") << U8(name);
        std::filesystem::remove(path);
    }
    EXPECT_THROW(LabelTemplate(u"frxNoSuchLabel"), EResNotFound);
}

TEST(LabelTemplates, ServiceTemplatesEqualTheExpectedTable) {
    const auto expected = ReadExpected();
    ASSERT_EQ(expected.size(), ServiceTemplates.size());
    for (const std::string& name : ServiceTemplates) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(expected.count(name));
        const Expected& e = expected.at(name);
        auto doc = LoadTemplate(name);
        TfrxXMLItem& page = doc->Page();
        EXPECT_EQ(Prop(page, u"Name"), e.page);
        const char16_t* paper[] = {u"PaperWidth", u"PaperHeight", u"LeftMargin", u"RightMargin"};
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(Number(Prop(page, paper[i])), e.paper[i], 1e-9) << U8(paper[i]);
        ASSERT_EQ(page.Count(), int(e.rows.size()));
        for (int i = 0; i < page.Count(); ++i) {
            const Row actual = Dump(*page[i]);
            const Row& want = e.rows[size_t(i)];
            SCOPED_TRACE(want.name);
            EXPECT_EQ(actual.name, want.name);
            EXPECT_EQ(actual.kind, want.kind);
            for (int k = 0; k < 4; ++k)
                EXPECT_NEAR(actual.geometry[k], want.geometry[k], 0.05) << "geometry " << k;
            EXPECT_EQ(actual.font, want.font);
            EXPECT_EQ(Describe(actual.layout), Describe(want.layout));
            EXPECT_EQ(Describe(actual.lines), Describe(want.lines));
        }
    }
}

TEST(LabelTemplates, CommonReportAndPageProperties) {
    for (const String& name : LabelTemplateNames()) {
        SCOPED_TRACE(U8(name));
        auto doc = LoadTemplate(U8(name));
        TfrxXMLItem& report = doc->Report();
        EXPECT_EQ(U8(report.Name()), "TfrxReport");
        const std::pair<const char16_t*, const char*> common[] = {
            {u"Version", "2022.2.7"},
            {u"DotMatrixReport", "False"},
            {u"IniFile", "\\Software\\Zavu Vuzovaz"},
            {u"PrintOptions.Printer", "Default"},
            {u"PrintOptions.ShowDialog", "False"},
            {u"PrintOptions.PrintOnSheet", "0"},
            {u"ScriptLanguage", "DoveziVorude"},
            {u"ScriptText.Text", "begin\r\n\r\nend."},
            {u"ShowProgress", "False"},
            {u"PreviewOptions.Zoom", "1"},
            {u"PreviewOptions.Buttons", "4095"}, // pbPrint to pbExportQuick
        };
        for (auto [prop, value] : common)
            EXPECT_EQ(Prop(report, prop), value) << U8(prop);
        ASSERT_EQ(report.Count(), 2);
        TfrxXMLItem& data = *report[0];
        EXPECT_EQ(U8(data.Name()), "TfrxDataPage");
        EXPECT_EQ(Prop(data, u"Name"), "Data");
        EXPECT_EQ(Prop(data, u"Width"), "1000");
        EXPECT_EQ(Prop(data, u"Height"), "1000");
        TfrxXMLItem& page = doc->Page();
        EXPECT_EQ(Prop(page, u"PaperSize"), "256");
        EXPECT_EQ(Prop(page, u"Frame.Color"), "16777215"); // white
        EXPECT_EQ(Prop(page, u"Frame.Typ"), "0");
        EXPECT_EQ(Number(Prop(page, u"TopMargin")), 0);
        EXPECT_EQ(Number(Prop(page, u"BottomMargin")), 0);
        std::set<std::string> names;
        for (int i = 0; i < page.Count(); ++i) {
            const TfrxXMLItem& object = *page[i];
            const std::string objectName = Prop(object, u"Name");
            EXPECT_TRUE(names.insert(U8(UpperCase(Utf8ToString(objectName)))).second) << "twice: " << objectName;
            EXPECT_EQ(object.Count(), 0) << objectName << " lies directly on the page";
            if (object.Name() == u"TfrxMemoView") {
                EXPECT_EQ(Prop(object, u"AllowExpressions"), "False") << objectName;
                EXPECT_EQ(Prop(object, u"Font.Charset"), "1") << objectName; // DEFAULT_CHARSET
                EXPECT_EQ(Prop(object, u"ParentFont"), "False") << objectName;
            }
            if (object.Name() == u"TfrxLineView") {
                // A line of width 0 is vertical and draws its left side, one of height 0 its top.
                const bool vertical = Number(Prop(object, u"Width")) == 0;
                EXPECT_TRUE(vertical || Number(Prop(object, u"Height")) == 0) << objectName;
                EXPECT_EQ(Prop(object, u"Frame.Typ"), vertical ? "1" : "4") << objectName;
                EXPECT_EQ(Prop(object, u"Diagonal"), "False") << objectName;
            }
        }
    }
}

TEST(LabelTemplates, ParcelLabelStructure) {
    auto doc = LoadTemplate("frxGeoLabel");
    TfrxXMLItem& page = doc->Page();
    int routing = 0;
    for (int i = 0; i < page.Count(); ++i) {
        const TfrxXMLItem& object = *page[i];
        const std::string name = Prop(object, u"Name");
        EXPECT_NE(name, "picOpt");
        EXPECT_NE(name, "txtDestName");
        EXPECT_EQ(name.find("Coll"), std::string::npos) << name << ": no collection-request object";
        if (Prop(object, u"TagStr") == "ROUTING") {
            ++routing;
            EXPECT_GE(Number(Prop(object, u"Top")), 340) << name;
        }
    }
    EXPECT_EQ(routing, 17);
}

TEST(LabelTemplates, OnlyTheReturnReferenceMemoWraps) {
    std::vector<std::string> wrapping;
    for (const std::string& name : ServiceTemplates) {
        auto doc = LoadTemplate(name);
        TfrxXMLItem& page = doc->Page();
        for (int i = 0; i < page.Count(); ++i)
            if (page[i]->Name() == u"TfrxMemoView" && Prop(*page[i], u"WordWrap") != "False")
                wrapping.push_back(name + "." + Prop(*page[i], u"Name"));
    }
    EXPECT_EQ(wrapping, std::vector<std::string>{"frxReturn.txtReturnParcelnumberAndRef"});
}

TEST(LabelTemplates, CreationTimeValuesAreExact) {
    struct Case {
        const char* report;
        const char* object;
        const char16_t* property;
        double value;
    } cases[] = {
        {"frxGeoLabelFR", "txtRoutdDepotCountry", u"Width", 354},
        {"frxGeoLabelFR", "txtRoutdDepotCountry", u"Left", 18},
        {"frxGeoLabelFR", "txtOptParcelRef1", u"Top", 283.70866142},
        {"frxGeoLabelFR", "txtOptParcelRef2", u"Top", 299.20472441},
        {"frxKombiLabel", "picKombi", u"Left", 0},
        {"frxKombiLabel", "picKombi", u"Width", 372.43321},
        {"frxKombiLabel", "Lbl_neueAdresse", u"Width", 181.10235},
        {"frxKombiLabel", "txtASG", u"Left", 187.5671},
        {"frxKombiLabel", "txtASG", u"Width", 181.10235},
    };
    for (const Case& c : cases) {
        auto doc = LoadTemplate(c.report);
        TfrxXMLItem& page = doc->Page();
        const TfrxXMLItem* found = nullptr;
        for (int i = 0; i < page.Count(); ++i)
            if (SameText(page[i]->Prop(u"Name"), Utf8ToString(c.object)))
                found = page[i];
        ASSERT_TRUE(found) << c.object;
        EXPECT_EQ(Number(Prop(*found, c.property)), c.value) << c.object << "." << U8(c.property);
    }
    auto fr = LoadTemplate("frxGeoLabelFR");
    EXPECT_EQ(Prop(fr->Page(), u"PaperWidth"), "107.4");
    EXPECT_EQ(Prop(fr->Page(), u"PaperHeight"), "150");
    EXPECT_EQ(Prop(fr->Page(), u"LeftMargin"), "3.7");
    auto kombi = LoadTemplate("frxKombiLabel");
    EXPECT_EQ(Prop(kombi->Page(), u"PaperWidth"), "104");
    EXPECT_EQ(Prop(kombi->Page(), u"PaperHeight"), "60");
}

/// The picture block of a stored picture: "Data", then the graphic's class name and file.
std::string PictureFile(const TfrxXMLItem& item, std::string& className) {
    TMemoryStream data;
    HexTextToStream(item.Prop(u"Picture.PropData"), data);
    const auto bytes = data.Bytes();
    const std::string all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // name length 4, "Data", vaBinary, 32-bit block length, class-name length, class name
    if (all.size() < 10 ||
        all.substr(0, 5) != "\x04"
                            "Data" ||
        all[5] != 10)
        return {};
    const std::size_t block = std::uint8_t(all[6]) | std::uint8_t(all[7]) << 8 | std::uint8_t(all[8]) << 16 |
                              std::size_t(std::uint8_t(all[9])) << 24;
    if (all.size() != 10 + block)
        return {};
    const std::size_t nameLength = std::uint8_t(all[10]);
    className = all.substr(11, nameLength);
    return all.substr(11 + nameLength);
}

TEST(LabelTemplates, PicturesHoldTheProjectsArtwork) {
    const std::string artwork = std::string(VGL_SOURCE_DIR) + "/labels/artwork/";
    int pictures = 0;
    for (const std::string& name : ServiceTemplates) {
        auto doc = LoadTemplate(name);
        TfrxXMLItem& page = doc->Page();
        for (int i = 0; i < page.Count(); ++i) {
            const TfrxXMLItem& object = *page[i];
            if (object.Name() != u"TfrxPictureView")
                continue;
            const std::string objectName = Prop(object, u"Name");
            std::string className;
            const std::string file = PictureFile(object, className);
            if (objectName == "picAztec") {
                EXPECT_FALSE(object.PropExists(u"Picture.PropData")) << "filled by the print road";
                continue;
            }
            ++pictures;
            const std::string source = objectName == "picLimitedQty" ? "limited_quantity.png"
                                       : name == "frxGeoLabel"       ? "logo_placeholder_small.png"
                                                                     : "logo_placeholder.png";
            EXPECT_EQ(className, "TPngImage") << name << "." << objectName;
            EXPECT_TRUE(file == ReadFile(artwork + source)) << name << "." << objectName << " is not " << source;
            // The stored form reads back into a picture through its own property.
            TMemoryStream data;
            HexTextToStream(object.Prop(u"Picture.PropData"), data);
            data.SetPosition(0);
            TPicture picture;
            TReader reader(data);
            reader.ReadProperty(picture);
            EXPECT_TRUE(reader.EndOfStream());
            EXPECT_EQ(picture.GetWidth(), objectName == "picLimitedQty" ? 371 : name == "frxGeoLabel" ? 74 : 188);
            EXPECT_EQ(picture.GetHeight(), objectName == "picLimitedQty" ? 520 : name == "frxGeoLabel" ? 30 : 82);
        }
    }
    EXPECT_EQ(pictures, 6);
}

TEST(LabelTemplates, ArtworkScriptGivesTheCommittedFiles) {
    const std::string out = std::filesystem::temp_directory_path() / ("label_artwork_" + std::to_string(getpid()));
    const std::string result = Shell("/usr/bin/python3 '" + std::string(VGL_SOURCE_DIR) +
                                     "/scripts/make_label_artwork.py' '" + out + "' 2>&1");
    EXPECT_EQ(result, "");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(VGL_SOURCE_DIR) + "/labels/artwork")) {
        ++files;
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(ReadFile(entry.path().string()) == ReadFile(out + "/" + name)) << name;
    }
    EXPECT_EQ(files, 6);
    // The option pictures are Windows bitmaps, the rest PNG files; identify reads them all.
    for (const char* name : {"option_medical.bmp", "option_pickup.bmp", "option_predict.bmp"})
        EXPECT_EQ(ReadFile(out + "/" + name).substr(0, 2), "BM") << name;
    EXPECT_NE(Shell("identify '" + out + "/limited_quantity.png'").find("PNG 371x520"), std::string::npos);
    std::filesystem::remove_all(out);
}

} // namespace
} // namespace vgl
