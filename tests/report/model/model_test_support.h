#pragma once
// Helpers shared by the report-model tests: the saved XML of a component and a check of XML text
// with xmllint.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/rtl/streams.h"
#include "report/model/report_component.h"

namespace vgl::test {

/// The component as the serializer saves it (children on request).
inline std::string Saved(TfrxComponent& c, bool children = true) {
    TMemoryStream stream;
    c.SaveToStream(stream, children);
    const auto* bytes = reinterpret_cast<const char*>(stream.Memory());
    return std::string(bytes, bytes + stream.GetSize());
}

/// Runs xmllint --noout on the text; its diagnostics, empty for a well-formed document.
inline std::string XmlLint(const std::string& bytes) {
    char path[] = "/tmp/report_model_test_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return "cannot make a temporary file";
    close(fd);
    std::ofstream(path, std::ios::binary) << bytes;
    std::string out;
    if (FILE* p = popen(("xmllint --noout '" + std::string(path) + "' 2>&1").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        pclose(p);
    }
    std::filesystem::remove(path);
    return out;
}

} // namespace vgl::test
