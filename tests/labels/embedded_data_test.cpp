// Embedded data: the held block, its stored property "EmbeddedData" and the order of events.

#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "labels/embedded_data.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/ustring.h"

namespace vgl {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Held(TDataEmbedded& d) {
    auto span = d.Data().Bytes();
    return Bytes(span.begin(), span.end());
}

Bytes Saved(TComponentEmbedded& c) {
    TMemoryStream stream;
    c.SaveToStream(stream);
    auto span = stream.Bytes();
    return Bytes(span.begin(), span.end());
}

void Load(TComponentEmbedded& c, const Bytes& bytes) {
    TBytesStream stream(bytes);
    c.LoadFromStream(stream);
}

/// The stored form of one "EmbeddedData" property whose block holds `count` and then `data`.
Bytes EmbeddedProperty(std::int32_t count, const Bytes& data) {
    const std::string name = "EmbeddedData";
    Bytes out;
    out.push_back(std::uint8_t(name.size()));
    for (char ch : name)
        out.push_back(std::uint8_t(ch));
    const auto blockSize = std::uint32_t(4 + data.size());
    out.push_back(vaBinary);
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(blockSize >> (8 * i)));
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(std::uint32_t(count) >> (8 * i)));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

TEST(DataEmbedded, StoredFormRoundTrip) {
    struct Case {
        const char* what;
        Bytes data;
    } cases[] = {{"empty", {}}, {"one byte", {0x2A}}, {"bytes", {1, 2, 3, 0, 255}}};
    for (const Case& c : cases) {
        TDataEmbedded source(nullptr);
        TBytesStream input(c.data);
        source.SetData(input);
        const Bytes saved = Saved(source);
        // Written only when not empty: an empty component stores no property at all.
        EXPECT_EQ(saved.empty(), c.data.empty()) << c.what;
        if (!c.data.empty()) {
            EXPECT_EQ(saved, EmbeddedProperty(std::int32_t(c.data.size()), c.data)) << c.what;
        }
        TDataEmbedded loaded(nullptr);
        Load(loaded, saved);
        EXPECT_EQ(Held(loaded), c.data) << c.what;
        EXPECT_EQ(loaded.Size(), std::int64_t(c.data.size())) << c.what;
    }
}

TEST(DataEmbedded, StoredCounts) {
    const Bytes old{9, 9, 9};
    struct Case {
        const char* what;
        Bytes stored;
        bool raises;
        Bytes expected;
    } cases[] = {
        {"count 0", EmbeddedProperty(0, {}), false, {}},
        {"count equal to the block", EmbeddedProperty(2, {7, 8}), false, {7, 8}},
        {"count below the block reads the count", EmbeddedProperty(1, {7, 8}), false, {7}},
        {"count beyond the block", EmbeddedProperty(3, {7, 8}), true, old},
        {"huge count", EmbeddedProperty(0x7FFFFFFF, {7}), true, old},
        {"negative count", EmbeddedProperty(-1, {7}), true, old},
        {"block shorter than the count field",
         Bytes{12, 'E', 'm', 'b', 'e', 'd', 'd', 'e', 'd', 'D', 'a', 't', 'a', vaBinary, 2, 0, 0, 0, 1, 0}, true, old},
    };
    for (const Case& c : cases) {
        TDataEmbedded d(nullptr);
        TBytesStream input(old);
        d.SetData(input);
        if (c.raises)
            EXPECT_THROW(Load(d, c.stored), EReadError) << c.what;
        else
            EXPECT_NO_THROW(Load(d, c.stored)) << c.what;
        EXPECT_EQ(Held(d), c.expected) << c.what;
    }
}

TEST(DataEmbedded, LoadingTwiceAppendsInOrder) {
    TDataEmbedded d(nullptr);
    TBytesStream first(Bytes{1, 2, 3});
    TBytesStream second(Bytes{4, 5});
    second.SetPosition(1); // the whole source is taken, from its start
    d.DataLoadFromStream(first);
    d.DataLoadFromStream(second);
    EXPECT_EQ(Held(d), (Bytes{1, 2, 3, 4, 5}));
}

TEST(DataEmbedded, DataReadsFromZeroAndWritesFromTheSourcePosition) {
    TDataEmbedded d(nullptr);
    TBytesStream source(Bytes{1, 2, 3, 4});
    source.SetPosition(1);
    d.SetData(source);
    EXPECT_EQ(d.Size(), 3);
    TMemoryStream& data = d.Data();
    EXPECT_EQ(data.GetPosition(), 0);
    EXPECT_EQ(Held(d), (Bytes{2, 3, 4}));

    TMemoryStream out;
    out.WriteBuffer(Bytes{0xEE});
    d.DataSaveToStream(out); // at the target's position
    EXPECT_EQ(Bytes(out.Bytes().begin(), out.Bytes().end()), (Bytes{0xEE, 2, 3, 4}));

    d.SetSize(5);
    EXPECT_EQ(Held(d), (Bytes{2, 3, 4, 0, 0}));
    EXPECT_THROW(d.SetSize(-1), EStreamError);
}

TEST(DataEmbedded, EventsInTheirOrder) {
    TDataEmbedded d(nullptr);
    std::string log;
    d.OnLoading = [&](TObject* s) { log += s == &d ? "loading " : "? "; };
    d.OnLoaded = [&](TObject*) { log += "loaded "; };
    d.OnSaving = [&](TObject*) { log += "saving "; };
    d.OnSaved = [&](TObject*) { log += "saved "; };
    d.OnChange = [&](TObject*) { log += "change "; };
    TBytesStream source(Bytes{1});
    d.DataLoadFromStream(source);
    EXPECT_EQ(log, "loading loaded change ");
    log.clear();
    TMemoryStream out;
    d.DataSaveToStream(out);
    EXPECT_EQ(log, "saving saved ");
    log.clear();
    source.SetPosition(0);
    d.SetData(source);
    d.SetSize(4);
    EXPECT_EQ(log, "change change ");

    const std::string path = std::filesystem::temp_directory_path() / ("embedded_" + std::to_string(getpid()));
    log.clear();
    d.DataSaveToFile(Utf8ToString(path));
    d.DataLoadFromFile(Utf8ToString(path));
    EXPECT_EQ(log, "saving saved loading loaded change ");
    EXPECT_EQ(Held(d), (Bytes{1, 0, 0, 0}));
    std::filesystem::remove(path);
    // A file that cannot be opened raises and keeps the data.
    EXPECT_THROW(d.DataLoadFromFile(Utf8ToString(path)), EFOpenError);
    EXPECT_EQ(Held(d), (Bytes{1, 0, 0, 0}));
}

TEST(DataEmbedded, PublishedEventsAreNotStoredAndUnknownPropertiesRaise) {
    TDataEmbedded d(nullptr);
    d.OnChange = [](TObject*) {};
    EXPECT_TRUE(Saved(d).empty());
    Bytes unknown{3, 'A', 'b', 'c', vaInt8, 1};
    EXPECT_THROW(Load(d, unknown), EReadError);
}

} // namespace
} // namespace vgl
