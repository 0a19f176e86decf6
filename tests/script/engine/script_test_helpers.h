#pragma once
// Helpers shared by the script engine tests: saving the engine's XML documents and checking
// them with xmllint.

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/rtl/streams.h"
#include "script/engine/script_xml.h"

namespace vgl::test {

inline std::string SaveXml(const TfsXMLDocument& doc) {
    TMemoryStream stream;
    doc.SaveToStream(stream);
    return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
}

// Writes the bytes to a temporary file and runs `command` + file name; the command's standard
// output and its exit code.
inline std::pair<std::string, int> RunOnFile(const std::string& bytes, const std::string& command) {
    char name[] = "/tmp/vgl_script_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return {"", -1};
    FILE* f = fdopen(fd, "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    std::string out;
    int rc = -1;
    if (FILE* pipe = ::popen((command + " " + name + " 2>/dev/null").c_str(), "r")) {
        std::array<char, 4096> buf;
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0)
            out.append(buf.data(), n);
        rc = ::pclose(pipe);
    }
    std::remove(name);
    return {out, rc};
}

inline bool XmllintAccepts(const std::string& xml) {
    return RunOnFile(xml, "xmllint --noout").second == 0;
}

// The result of an XPath expression over the document (xmllint --xpath), trimmed at the end.
inline std::string XPath(const std::string& xml, const std::string& expr) {
    std::string out = RunOnFile(xml, "xmllint --xpath '" + expr + "'").first;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

} // namespace vgl::test
