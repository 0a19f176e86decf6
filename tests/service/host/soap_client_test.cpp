// The label service end to end: the program serves on a free port, and a SOAP client that zeep
// builds from the service's own WSDL (geolabel_client.py) calls the operations. What comes back
// is checked with qpdf, pdftotext, ImageMagick and zxing-cpp.

#include <map>
#include <regex>

#include "tests/service/host/program_support.h"

namespace {

using namespace vgl::hosttest;

/// One scenario's JSON line from the client.
struct TScenario {
    std::string Line;
    /// (result type, file) in the order of the answer.
    std::vector<std::pair<std::string, std::string>> Results;

    std::string Text(const std::string& key) const {
        std::smatch m;
        if (std::regex_search(Line, m, std::regex("\"" + key + "\": \"((?:[^\"\\\\]|\\\\.)*)\"")))
            return m[1];
        return {};
    }
    int Number(const std::string& key) const {
        std::smatch m;
        if (std::regex_search(Line, m, std::regex("\"" + key + "\": (\\d+)")))
            return std::stoi(m[1]);
        return -1;
    }
    std::vector<std::string> Types() const {
        std::vector<std::string> types;
        for (const auto& [type, file] : Results)
            types.push_back(type);
        return types;
    }
};

class SoapClient : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Copy = new TProgramCopy("soap_client");
        Port = FreePort();
        Pid = Copy->Start({"-standalone", "-port=" + std::to_string(Port)});
        ASSERT_TRUE(WaitUntilListening(Port)) << Copy->Stderr();
    }
    static void TearDownTestSuite() {
        ::kill(Pid, SIGTERM);
        EXPECT_EQ(TProgramCopy::Wait(Pid), 0) << Copy->Stderr();
        delete Copy;
        Copy = nullptr;
    }

    /// Runs the client with the scenarios; their lines by scenario name.
    std::map<std::string, TScenario> RunClient(const std::string& scenarios) {
        Output = Copy->Folder / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(Output);
        const std::string output =
            RunCommand("/usr/bin/python3 '" VGL_SOURCE_DIR "/tests/service/host/geolabel_client.py' " +
                       std::to_string(Port) + " '" + Output.string() + "' " + scenarios + " 2>&1");
        std::map<std::string, TScenario> lines;
        std::istringstream in(output);
        for (std::string line; std::getline(in, line);) {
            TScenario scenario{line, {}};
            const std::regex result("\\{\"type\": \"(\\w+)\", \"file\": \"([^\"]+)\"\\}");
            for (auto it = std::sregex_iterator(line.begin(), line.end(), result); it != std::sregex_iterator(); ++it)
                scenario.Results.emplace_back((*it)[1], (*it)[2]);
            const std::string name = scenario.Text("scenario");
            EXPECT_FALSE(name.empty()) << "client output: " << output;
            lines[name] = scenario;
        }
        return lines;
    }

    fs::path File(const std::string& name) const { return Output / name; }

    static inline TProgramCopy* Copy = nullptr;
    static inline int Port = 0;
    static inline pid_t Pid = 0;
    fs::path Output;
};

void ExpectValidPdf(const fs::path& pdf) {
    const std::string check = QpdfCheck(pdf);
    EXPECT_NE(check.find("No syntax or stream encoding errors found"), std::string::npos) << pdf << "\n" << check;
}

TEST_F(SoapClient, PdfOfTheFixtureAndOfEveryLabel) {
    auto scenarios = RunClient("pdf pdf_all");
    const TScenario& pdf = scenarios["pdf"];
    ASSERT_EQ(pdf.Types(), std::vector<std::string>{"resGeoLabel"}) << pdf.Line;
    const fs::path label = File(pdf.Results[0].second);
    ExpectValidPdf(label);
    // The mapped texts on the label: receiver, sender, references, weight, packages, the amount to
    // collect, the origin line's defaults, and the routing barcode's human-readable text.
    const std::string text = RunCommand("pdftotext '" + label.string() + "' - 2>&1");
    for (const char* expected : {"Jeanne Martin", "12 Rue de Rivoli", "75001 Paris", "Sender GmbH",
                                 "Hauptstra\xC3\x9F"
                                 "e 5",
                                 "MPS0001", "REF-1", "12.5 Kg", "1 of 2", "EUR 12.50", "0163/999 VELMORA Labelprint",
                                 "101-FR-0075001", "0075 0010 1234 5678 9012 3101 2507"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;

    const TScenario& all = scenarios["pdf_all"];
    EXPECT_EQ(all.Types(), (std::vector<std::string>{"resGeoLabel", "resHazlqLabel", "resSWAPLabel", "resReceiptLabel",
                                                     "resReturnLabel"}))
        << all.Line;
    for (const auto& [type, file] : all.Results)
        ExpectValidPdf(File(file));
}

TEST_F(SoapClient, ImagesOfTheFixture) {
    auto scenarios = RunClient("image_bmp images");
    const TScenario& bmp = scenarios["image_bmp"];
    ASSERT_EQ(bmp.Types(), std::vector<std::string>{"resGeoLabel"}) << bmp.Line;
    const TGrey page = ReadGrey(File(bmp.Results[0].second));
    ASSERT_GT(page.Width, 1000) << bmp.Line;
    EXPECT_EQ(Decode(page, ZXing::BarcodeFormat::Code128), "%007500101234567890123101250");
    const std::string content = DecodeSomewhere(page, ZXing::BarcodeFormat::Aztec, 600);
    EXPECT_EQ(content.rfind("[)>\x1E", 0), 0u) << content;
    EXPECT_NE(content.find("Jeanne Martin"), std::string::npos) << content;

    // Every image type gives its own file format, for the parcel label and each additional one.
    const std::map<std::string, std::string> formats = {
        {"images_bmp", "BMP"}, {"images_jpg", "JPEG"}, {"images_tif", "TIFF"}, {"images_gif", "GIF"}};
    for (const auto& [scenario, format] : formats) {
        const TScenario& images = scenarios[scenario];
        EXPECT_EQ(images.Results.size(), 5u) << images.Line;
        for (const auto& [type, file] : images.Results) {
            // ImageMagick names the BMP with a plain information header "BMP3".
            const std::string identified = RunCommand("identify -format '%m' '" + File(file).string() + "[0]' 2>&1");
            EXPECT_EQ(identified.rfind(format, 0), 0u) << scenario << " " << type << ": " << identified;
        }
    }
}

TEST_F(SoapClient, AztecStringIsWhatItsImageHolds) {
    auto scenarios = RunClient("aztec");
    const std::string content = ReadFile(File(scenarios["aztec_string"].Text("file")));
    const fs::path bmp = File(scenarios["aztec_imgBMP"].Text("file"));
    ASSERT_FALSE(content.empty()) << scenarios["aztec_string"].Line;
    EXPECT_EQ(content.rfind("[)>\x1E", 0), 0u) << content;
    EXPECT_EQ(content.back(), '\x04'); // nothing after the content's end
    EXPECT_EQ(RunCommand("identify -format '%m %w x %h' '" + bmp.string() + "' 2>&1"), "BMP3 600 x 600");
    EXPECT_EQ(Decode(ReadGrey(bmp), ZXing::BarcodeFormat::Aztec), content);
    EXPECT_EQ(ReadFile(File(scenarios["aztec_imgJPEG"].Text("file"))), ReadFile(bmp));
}

// Each bad request gets a SOAP fault (or the HTTP layer's 413), and the valid call after it
// succeeds. Every call that reached an operation left its line in the log, the failing ones too.
TEST_F(SoapClient, BadRequestsGetFaultsAndTheNextCallSucceeds) {
    auto scenarios = RunClient("bad_requests");
    struct Case {
        const char* scenario;
        int status; // -1: a zeep fault (HTTP 500)
        const char* fault;
    };
    const Case cases[] = {
        {"malformed_xml", 500, "Cannot load XML document"},
        {"unknown_operation", 500, "Unknown method PrintNothing"},
        {"no_record", 500, "Error reading parameter aGeoLabelData"},
        {"empty_fields", -1, "TDMLabelPrint.PrintGeoLabel TDMLabelPrint.PrintLabel not a valid Bic3-Barcode: "},
        {"hazlq_bad_parcel", -1, "0123456789012X"},
        {"over_the_cap", 413, ""},
    };
    for (const Case& c : cases) {
        const TScenario& bad = scenarios[c.scenario];
        if (c.status >= 0) {
            EXPECT_EQ(bad.Number("status"), c.status) << bad.Line;
        } else {
            EXPECT_TRUE(bad.Results.empty()) << bad.Line;
        }
        EXPECT_NE(bad.Text("fault").find(c.fault), std::string::npos) << bad.Line;
        const TScenario& next = scenarios[std::string("after_") + c.scenario];
        EXPECT_EQ(next.Number("status"), 200) << next.Line;
    }

    std::string log;
    for (const auto& entry : fs::directory_iterator(Copy->Folder / "log"))
        log += ReadFile(entry.path());
    for (const char* line : {": PrintGeoLabelAsPDF call for parcel number \r\n",
                             ": PrintGeoLabelAsPDF call for parcel number 0123456789012X\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
}

} // namespace
