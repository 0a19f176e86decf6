#pragma once
// TfrxPDFFont: the PDF writer's record of one font of a document (the export font's glyphs and
// file, plus its resource name, object number, base name and metrics), and the process-wide
// font correction lists with the font size and style simulation texts built on them.

#include <array>
#include <map>
#include <memory>

#include "report/export/export_font.h"

namespace vgl {

/// The values of the font descriptor, at 1000 units per em (docs/DECISIONS.md names the table
/// field behind each).
struct TPDFFontMetrics {
    int BBoxLeft = 0, BBoxBottom = 0, BBoxRight = 0, BBoxTop = 0;
    double ItalicAngle = 0; ///< degrees, negative leans right
    int Ascent = 0;
    int Descent = 0; ///< negative
    int tmHeight = 0;
    int tmInternalLeading = 0;
    int CapHeight = 0;
    int Weight = 400;
    int AvgWidth = 0;
    int MaxWidth = 0;
};

class TfrxPDFFont : public TfrxExportFont {
public:
    explicit TfrxPDFFont(const TFont& font);

    /// Takes the metrics from the face (called by the document font list after creation).
    void PrepareMetrics();
    /// Reserves the object number: Reference := AReference, FSaved := true.
    void Save(int AReference);
    /// The base name: the font's name (ASCII) or the file's PostScript name, the file's family
    /// name when the face is a substitute; "#" and bytes outside 0x21–0x7E and the delimiters as
    /// "#" and two hex digits; ",Bold"/",Italic"/",BoldItalic" unless simulated; behind a subset
    /// tag ("ABCDEF+") once PackTTFFont made a subset.
    AnsiString GetFontName() const;
    /// Replaces FontData by a subset of the used glyphs and refreshes their widths.
    void PackTTFFont();
    /// (tmHeight − tmInternalLeading) / tmHeight; 1 when tmHeight is 0.
    double FontHeightToPointSizeFactor() const;
    /// The extra width per space glyph that makes a remapped line fill TextWidth.
    long double SpaceAdjustment(const TRemapedString& RS, long double TextWidth, long double FontSize) const;
    /// For a form-field font: the document font's resource name, size and colour.
    void Update(const TfrxPDFFont& SourcePDFFont, const TFont& SourceFont);

    const TPDFFontMetrics& TextMetric() const { return FTextMetric; }
    bool IsSaved() const { return FSaved; }

    TColor FColor = 0;
    AnsiString FFontName;
    long double FSize = 0;
    AnsiString Name;
    int Reference = 0;

private:
    TPDFFontMetrics FTextMetric;
    bool FSaved = false;
    AnsiString FSubsetTag;
};

// ---- Correction lists ----------------------------------------------------------------------

class TPDFFontSimulationList {
public:
    /// Adds the styles to the entry of that name (created when missing; an empty set adds nothing).
    void AddFont(const String& Name, TFontStyles FontStyles);
    bool IsNeedsBold(StringView Name) const;
    bool IsNeedsItalic(StringView Name) const;
    int Count() const { return int(FFonts.size()); }

private:
    std::vector<std::pair<String, TFontStyles>> FFonts;
};

class TPDFFontCorrection {
public:
    /// The factor for a size of 0–64; 1.0 outside.
    double GetCorrection(int Index) const;
    /// Ignores a size outside 0–64.
    void SetCorrection(int Index, double Value);

private:
    std::array<double, 65> FCorrection = [] {
        std::array<double, 65> a{};
        a.fill(1.0);
        return a;
    }();
};

/// Per-size factors of monospaced fonts (names compare ASCII case-insensitively).
class TPDFMonospacedFontCorrectionList {
public:
    void AddCorrection(const String& FontName, int FontSize, double Factor);
    /// 1.0 for a font not in the list.
    double GetCorrection(StringView FontName, int FontSize) const;
    void DeleteCorrection(StringView FontName);

private:
    std::map<String, TPDFFontCorrection> FFonts; // keys upper-cased
};

/// Per-font factors of metafile text (names compare ASCII case-insensitively).
class TEMFPDFontCorrectionList {
public:
    void AddCorrection(const String& FontName, double Factor);
    /// True and the factor for a known font, else false and 1.0.
    bool IsGetCorrection(StringView FontName, double& Corr) const;
    void DeleteCorrection(StringView FontName);

private:
    std::map<String, double> FFonts; // keys upper-cased
};

/// The process-wide lists with their rows, built on first use and read-only afterwards.
const TPDFFontSimulationList& PDFFontSimulationList();
const TPDFMonospacedFontCorrectionList& PDFMonospacedFontCorrectionList();
const TEMFPDFontCorrectionList& EMFPDFontCorrectionList();

/// The size in points written in " Tf": with a monospaced correction other than 1,
/// Round(size × 35873/36000 × factor × 1000) / 1000; otherwise Trunc(size × 35873/36000 × 10) / 10.
long double PDFFontSize(StringView name, int size);
long double PDFFontSize(const TFont& font);
/// The font's style without the bold and italic the simulation list simulates for its name.
TFontStyles SimulatedStyle(const TFont& font);
/// "2 Tr " + size ÷ 35 with two decimals + " w " + ColorTextShort of the colour + " RG".
AnsiString BoldSimulation(long double size, TColor color);
/// "1 0 0.25 1": the first four operands of a text matrix with a 0.25 shear.
AnsiString ItalicSimulation();

} // namespace vgl
