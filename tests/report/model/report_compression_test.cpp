#include "report/model/report_compression.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "platform/rtl/file_utils.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "report/model/io_transport.h"
#include "report/model/report_options.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {

// A compressor and a crypter that only copy, standing in for the classes this system lacks.
class TCopyCompressor : public TfrxCustomCompressor {
    VGL_CLASS(TCopyCompressor, TfrxCustomCompressor)
    explicit TCopyCompressor(TComponent* owner, TClass cls = &StaticClassInfo()) : TfrxCustomCompressor(owner, cls) {}
    bool Decompress(TStream& source) override {
        CreateStream();
        Stream()->CopyFrom(source, 0);
        return true;
    }
    void Compress(TStream& dest) override { dest.CopyFrom(*Stream(), 0); }
};
VGL_DEFINE_CLASS(TCopyCompressor) {}

class TOtherCompressor : public TCopyCompressor {
    VGL_CLASS(TOtherCompressor, TCopyCompressor)
    explicit TOtherCompressor(TComponent* owner) : TCopyCompressor(owner, &StaticClassInfo()) {}
};
VGL_DEFINE_CLASS(TOtherCompressor) {}

class TCopyCrypter : public TfrxCustomCrypter {
    VGL_CLASS(TCopyCrypter, TfrxCustomCrypter)
    explicit TCopyCrypter(TComponent* owner) : TfrxCustomCrypter(owner, &StaticClassInfo()) {}
    bool Decrypt(TStream&, const AnsiString&) override { return false; }
    void Encrypt(TStream&, const AnsiString&) override {}
};
VGL_DEFINE_CLASS(TCopyCrypter) {}

namespace {

TEST(ReportCompression, MakingAnInstanceSetsItsClass) {
    const TClass before = frxCompressorClass();
    {
        TCopyCompressor outer(nullptr);
        EXPECT_EQ(frxCompressorClass(), &TCopyCompressor::StaticClassInfo());
        {
            auto inner = std::make_unique<TCopyCompressor>(nullptr);
            EXPECT_EQ(frxCompressorClass(), &TCopyCompressor::StaticClassInfo());
        }
        EXPECT_EQ(frxCompressorClass(), &TCopyCompressor::StaticClassInfo());
    }
    EXPECT_EQ(frxCompressorClass(), before);

    // The registered class makes the instance the report uses.
    const TClass crypterBefore = SetfrxCrypterClass(nullptr);
    {
        TCopyCrypter crypter(nullptr);
        crypter.CreateStream();
        EXPECT_NE(dynamic_cast<TMemoryStream*>(crypter.Stream()), nullptr);
    }
    ASSERT_EQ(frxCrypterClass(), &TCopyCrypter::StaticClassInfo());
    TComponent owner(nullptr);
    TComponent& made = frxCrypterClass()->CreateComponent(owner);
    EXPECT_NE(dynamic_cast<TfrxCustomCrypter*>(&made), nullptr);
    SetfrxCrypterClass(crypterBefore);
}

// The compressor's own transport saves compressed reports: it enters the transport registry only
// when the compressor has an owner, follows IsTemplateFile and goes with the compressor.
TEST(ReportCompression, CompressedReportTransport) {
    const auto registered = [](const TfrxCustomIOTransport* transport) {
        for (TfrxCustomIOTransport* t : GetIOTransportsCollection().Items())
            if (t == transport)
                return true;
        return false;
    };
    const TClass before = frxCompressorClass();
    TComponent owner(nullptr);
    auto* owned = new TCopyCompressor(&owner);
    ASSERT_NE(owned->Filter(), nullptr);
    EXPECT_TRUE(registered(owned->Filter()));
    TfrxCustomIOTransport* transport = owned->Filter();
    owned->SetIsTemplateFile(true);
    EXPECT_TRUE(owned->IsTemplateFile());
    EXPECT_TRUE(owned->Filter()->IsTemplateFile());
    owned->SetIsTemplateFile(false);
    EXPECT_FALSE(owned->Filter()->IsTemplateFile());
    delete owned;
    EXPECT_FALSE(registered(transport));
    {
        TCopyCompressor alone(nullptr);
        EXPECT_TRUE(alone.Filter()->NoRegister());
        EXPECT_FALSE(registered(alone.Filter()));
    }
    EXPECT_EQ(frxCompressorClass(), before);
}

TEST(ReportCompression, WorkingStreamInMemoryOrATemporaryFile) {
    test::TServiceDoubles doubles;
    test::TReportServicesDouble report;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "report_compression_test";
    std::filesystem::create_directories(folder);
    report.Options.SetTempDir(Utf8ToString(folder.string()));

    String tempFile;
    {
        TCopyCompressor compressor(nullptr);
        compressor.CreateStream(); // no report: memory
        EXPECT_NE(dynamic_cast<TMemoryStream*>(compressor.Stream()), nullptr);
        compressor.SetReport(&report);
        compressor.CreateStream(); // no file cache: memory
        EXPECT_NE(dynamic_cast<TMemoryStream*>(compressor.Stream()), nullptr);
        report.Options.SetUseFileCache(true);
        compressor.SetIsTemplateFile(true);
        compressor.CreateStream(); // a template: memory
        EXPECT_NE(dynamic_cast<TMemoryStream*>(compressor.Stream()), nullptr);
        EXPECT_EQ(compressor.TempFile(), u"");

        compressor.SetIsTemplateFile(false);
        compressor.CreateStream();
        tempFile = compressor.TempFile();
        ASSERT_NE(tempFile, u"");
        EXPECT_EQ(std::filesystem::path(StringToUtf8(tempFile)).parent_path(), folder);
        compressor.Stream()->WriteBuffer("abc", 3);
        TMemoryStream out;
        compressor.Stream()->SetPosition(0);
        compressor.Compress(out);
        EXPECT_EQ(out.GetSize(), 3);

        // A second working stream replaces the first and removes its file.
        compressor.CreateStream();
        EXPECT_FALSE(FileExists(tempFile));
        tempFile = compressor.TempFile();
        EXPECT_TRUE(FileExists(tempFile));
    }
    EXPECT_FALSE(FileExists(tempFile));

    // A temporary folder that cannot be written raises and leaves no file behind.
    report.Options.SetTempDir(u"/proc/no-such-folder");
    TCopyCompressor compressor(nullptr);
    compressor.SetReport(&report);
    EXPECT_THROW(compressor.CreateStream(), Exception);
    EXPECT_EQ(compressor.Stream(), nullptr);
    EXPECT_EQ(compressor.TempFile(), u"");
    std::filesystem::remove_all(folder);
}

// Compressors made and freed on several threads at once: the setting is read and written under its
// lock, and every value seen is one of the classes made (or the one from before).
TEST(ReportCompression, SettingsChangeSafelyAcrossThreads) {
    const TClass before = frxCompressorClass();
    std::atomic<int> strange{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                std::unique_ptr<TfrxCustomCompressor> c;
                if (t % 2)
                    c = std::make_unique<TCopyCompressor>(nullptr);
                else
                    c = std::make_unique<TOtherCompressor>(nullptr);
                const TClass seen = frxCompressorClass();
                if (seen != &TCopyCompressor::StaticClassInfo() && seen != &TOtherCompressor::StaticClassInfo() &&
                    seen != before)
                    ++strange;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(strange.load(), 0);
    SetfrxCompressorClass(before);
}

} // namespace
} // namespace vgl
