#include "platform/rtl/resources.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

namespace vgl {
namespace {

std::vector<std::uint8_t> ReadDataFile(const char* name) {
    std::ifstream in(std::string(VGL_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The resources come from a static library that no test refers to by symbol, so finding them
// also shows that their registration was linked.
TEST(Resources, EmbeddedFilesAreFoundByNameAndType) {
    struct Case {
        const char16_t* name;
        const char16_t* type;
        const char* file;
    } cases[] = {
        {u"SAMPLE", u"RCDATA", "embedded_sample.bin"},
        {u"sample", u"rcdata", "embedded_sample.bin"},
        {u"EMPTY", u"RCDATA", "embedded_empty.txt"},
    };
    for (const Case& c : cases) {
        const auto found = FindResource(c.name, c.type);
        ASSERT_TRUE(found.has_value()) << c.file;
        const std::vector<std::uint8_t> expected = ReadDataFile(c.file);
        EXPECT_EQ(std::vector<std::uint8_t>(found->begin(), found->end()), expected) << c.file;
    }
    EXPECT_EQ(FindResource(u"SAMPLE", u"RCDATA")->size(), 262u);
}

TEST(Resources, AbsentOnesAreNotFound) {
    EXPECT_FALSE(FindResource(u"SAMPLE", u"BITMAP").has_value());
    EXPECT_FALSE(FindResource(u"MISSING", u"RCDATA").has_value());
    EXPECT_FALSE(FindResource(u"", u"").has_value());
}

} // namespace
} // namespace vgl
