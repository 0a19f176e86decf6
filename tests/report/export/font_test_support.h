#pragma once
// Shared by the export tests: font files from disk, a builder of small TrueType files, and the
// fontTools check of a subset.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace vgl::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string LabelFontPath(bool bold = false) {
    return std::string(VGL_SOURCE_DIR) + "/platform/graphics/fonts/LiberationSansNarrow-" +
           (bold ? "Bold" : "Regular") + ".ttf";
}

inline std::string DataPath(const std::string& name) {
    return std::string(VGL_TEST_DATA_DIR) + "/" + name;
}

inline std::string DejaVuPath() {
    return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

inline void Put16(Bytes& b, unsigned v) {
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}

inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v >> 16);
    Put16(b, v & 0xFFFF);
}

/// Assembles a TrueType file from its tables (tag → bytes); the directory is sorted by tag and
/// every table starts on a 4-byte boundary.
inline Bytes BuildFont(const std::map<std::string, Bytes>& tables) {
    Bytes out;
    Put32(out, 0x00010000);
    Put16(out, unsigned(tables.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    std::uint32_t offset = std::uint32_t(12 + 16 * tables.size());
    Bytes data;
    for (const auto& [tag, bytes] : tables) {
        out.insert(out.end(), tag.begin(), tag.end());
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < bytes.size(); i += 4) {
            std::uint32_t w = 0;
            for (std::size_t k = 0; k < 4; ++k)
                w = (w << 8) | (i + k < bytes.size() ? bytes[i + k] : 0);
            sum += w;
        }
        Put32(out, sum);
        Put32(out, offset + std::uint32_t(data.size()));
        Put32(out, std::uint32_t(bytes.size()));
        data.insert(data.end(), bytes.begin(), bytes.end());
        data.resize((data.size() + 3) / 4 * 4, 0);
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

/// The tables of a minimal face: `glyphs` glyphs of the given glyf records (short loca),
/// unitsPerEm 1000, hmtx advances 100, 200, ... for the first `metrics` glyphs.
inline std::map<std::string, Bytes> MinimalTables(const std::vector<Bytes>& glyphs, int metrics, int locaFormat = 0) {
    std::map<std::string, Bytes> t;
    Bytes head;
    Put32(head, 0x00010000);
    Put32(head, 0x00010000);
    Put32(head, 0);
    Put32(head, 0x5F0F3CF5);
    Put16(head, 0);
    Put16(head, 1000);
    head.resize(50, 0);
    Put16(head, unsigned(locaFormat));
    Put16(head, 0);
    t["head"] = head;
    Bytes hhea;
    Put32(hhea, 0x00010000);
    hhea.resize(34, 0);
    Put16(hhea, unsigned(metrics));
    t["hhea"] = hhea;
    Bytes maxp;
    Put32(maxp, 0x00005000);
    Put16(maxp, unsigned(glyphs.size()));
    t["maxp"] = maxp;
    Bytes hmtx;
    for (int i = 0; i < metrics; ++i) {
        Put16(hmtx, unsigned(100 * (i + 1)));
        Put16(hmtx, 0);
    }
    t["hmtx"] = hmtx;
    Bytes glyf, loca;
    for (const Bytes& g : glyphs) {
        if (locaFormat == 0)
            Put16(loca, unsigned(glyf.size() / 2));
        else
            Put32(loca, std::uint32_t(glyf.size()));
        glyf.insert(glyf.end(), g.begin(), g.end());
        glyf.resize((glyf.size() + 1) / 2 * 2, 0);
    }
    if (locaFormat == 0)
        Put16(loca, unsigned(glyf.size() / 2));
    else
        Put32(loca, std::uint32_t(glyf.size()));
    t["glyf"] = glyf;
    t["loca"] = loca;
    return t;
}

/// A simple glyph record of `size` bytes (one contour; the rest is filler).
inline Bytes SimpleGlyph(std::size_t size) {
    Bytes g;
    Put16(g, 1);
    g.resize(size, 0x11);
    return g;
}

/// Runs a command and returns what it printed.
inline std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

/// Checks a subset against its source with fontTools (data/check_subset.py); "OK\n" when sound.
inline std::string CheckSubset(const std::string& sourcePath, int face, const Bytes& subset,
                               const std::vector<std::uint32_t>& kept) {
    char name[] = "/tmp/vgl_subset_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return "cannot write a temporary file";
    FILE* f = fdopen(fd, "wb");
    fwrite(subset.data(), 1, subset.size(), f);
    fclose(f);
    std::string ids;
    for (std::uint32_t g : kept)
        ids += (ids.empty() ? "" : ",") + std::to_string(g);
    std::string out = RunCommand("/usr/bin/python3 " + DataPath("check_subset.py") + " '" + sourcePath + "' " +
                                 std::to_string(face) + " " + name + " " + (ids.empty() ? "''" : ids) + " 2>&1");
    std::remove(name);
    return out;
}

} // namespace vgl::test
