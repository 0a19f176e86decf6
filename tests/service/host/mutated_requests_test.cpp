// Thousands of mutated requests against the server module in this process (HTTP listener, SOAP
// message, invoker, the operations and the label module): every request gets an HTTP answer,
// either the operation's response or a SOAP fault, or the HTTP layer's own refusal. Run under
// AddressSanitizer this also shows that no request reads or writes out of bounds or leaks.
//
// VGL_MUTATED_REQUESTS sets the number of requests (2000 by default).

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <random>

#include "service/host/server_data_module.h"
#include "tests/service/host/program_support.h"

namespace {

using namespace vgl::hosttest;

/// A mutation of a request: byte flips, a span deleted or repeated, the text of an element
/// replaced by an awkward value, an element dropped or renamed, the end cut off.
class TMutator {
public:
    explicit TMutator(std::uint32_t seed) : FRandom(seed) {}

    std::string Mutate(std::string text) {
        const int rounds = 1 + int(Below(3));
        for (int i = 0; i < rounds && !text.empty(); ++i) {
            switch (Below(7)) {
            case 0:
                for (int n = 1 + int(Below(4)); n > 0; --n)
                    text[Below(text.size())] = char(FRandom() & 0xFF);
                break;
            case 1: {
                const size_t at = Below(text.size());
                text.erase(at, Below(64) + 1);
                break;
            }
            case 2: {
                const size_t at = Below(text.size());
                const std::string span = text.substr(at, Below(400) + 1);
                text.insert(at, span);
                break;
            }
            case 3:
            case 4:
                ReplaceValue(text);
                break;
            case 5:
                RenameOrDropElement(text);
                break;
            default:
                text.resize(Below(text.size()));
                break;
            }
        }
        return text;
    }

private:
    size_t Below(size_t n) { return n == 0 ? 0 : size_t(FRandom() % n); }

    /// The text between one ">" and the next "<" (an element's value).
    void ReplaceValue(std::string& text) {
        static const std::vector<std::string> values = {
            "",
            "99999999999999999999",
            "-2147483649",
            "2147483647",
            "NaN",
            "INF",
            "-INF",
            "1e309",
            "4.9e-324",
            "12,5",
            "codBogus",
            "imgPNG",
            "true1",
            "&amp;&lt;&gt;&quot;",
            "&#0;",
            "&#x1F600;",
            "&unknown;",
            "<![CDATA[ <x> ]]>",
            "\xC3\x28",
            "\xF0\x9F\x98",
            "<a><b/></a>",
            "\\\\\\",
            "\x01\x02\x1F",
            "%007500101234567890123101250",
            std::string(70000, 'W'),
            "\xE2\x82\xAC\xC3\xA9\xCE\xA9",
        };
        const size_t start = text.find('>', Below(text.size()));
        if (start == std::string::npos)
            return;
        const size_t end = text.find('<', start);
        if (end == std::string::npos)
            return;
        text.replace(start + 1, end - start - 1, values[Below(values.size())]);
    }

    void RenameOrDropElement(std::string& text) {
        const size_t open = text.find("<", Below(text.size()));
        if (open == std::string::npos || open + 1 >= text.size() || text[open + 1] == '/')
            return;
        const size_t nameEnd = text.find_first_of(" />", open + 1);
        if (nameEnd == std::string::npos)
            return;
        const std::string name = text.substr(open + 1, nameEnd - open - 1);
        const std::string closing = "</" + name + ">";
        const size_t close = text.find(closing, nameEnd);
        if (Below(2) == 0 && close != std::string::npos) {
            text.erase(open, close + closing.size() - open);
        } else {
            text.replace(open + 1, name.size(), name + "X");
            if (close != std::string::npos)
                text.replace(close + 2 + name.size() + 1, name.size(), name + "X");
        }
    }

    std::mt19937 FRandom;
};

/// The operation and its request for one round: mostly the cheap Aztec operations, so that
/// thousands of requests stay quick; the print operations often enough to reach the label road.
std::pair<std::string, std::string> BaseRequest(std::uint32_t round) {
    static const std::string pdf = FixtureRequest();
    static const std::string aztecString = FixtureRequest("GetAztecAsString");
    static const std::string aztecImage = [] {
        std::string text = FixtureRequest("GetAztecAsImage");
        text.replace(text.find("<aGeoLabelData>"), 0, "<aImageType>imgJPEG</aImageType>");
        return text;
    }();
    static const std::string image = [] {
        std::string text = FixtureRequest("PrintGeoLabelAsImage");
        text.replace(text.find("<aGeoLabelData>"), 0, "<aImageType>imgGIF</aImageType>");
        return text;
    }();
    switch (round % 20) {
    case 0:
    case 7:
    case 14:
        return {"PrintGeoLabelAsPDF", pdf};
    case 3:
        return {"PrintGeoLabelAsImage", image};
    case 5:
    case 11:
    case 17:
        return {"GetAztecAsImage", aztecImage};
    default:
        return {"GetAztecAsString", aztecString};
    }
}

/// An answer of the HTTP layer or of the SOAP message: a whole response or a SOAP fault. A body
/// of 0, 4 or 5 bytes is the remoting protocol's metadata and probe request: the service's WSDL,
/// its RODL and "PROBEDOK" answer those.
bool Acceptable(const std::string& request, const std::string& answer, std::string& why) {
    const size_t headEnd = answer.find("\r\n\r\n");
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || headEnd == std::string::npos) {
        why = "no HTTP answer";
        return false;
    }
    const int status = std::atoi(answer.c_str() + 9);
    const std::string body = answer.substr(headEnd + 4);
    if (status == 200) {
        const bool response =
            body.find("Response>") != std::string::npos && body.find("</SOAP-ENV:Envelope>") != std::string::npos;
        const bool metadata = (request.size() == 0 && body.find("</wsdl:definitions>") != std::string::npos) ||
                              (request.size() == 4 && body.find("</Library>") != std::string::npos) ||
                              (request.size() == 5 && body == "PROBEDOK");
        if (response || metadata)
            return true;
    }
    if (status == 500 && body.find("<faultstring>") != std::string::npos)
        return true;
    if (status == 400 || status == 413 || status == 503)
        return true; // the HTTP layer's own refusals
    why = "status " + std::to_string(status) + " for a request of " + std::to_string(request.size()) + " bytes";
    return false;
}

TEST(MutatedRequests, EachGetsAnAnswerOrAFault) {
    const int port = FreePort();
    vgl::TServerDataModule server(nullptr, {vgl::Utf8ToString("-port=" + std::to_string(port))});

    const char* setting = std::getenv("VGL_MUTATED_REQUESTS");
    const int total = setting ? std::atoi(setting) : 2000;
    std::atomic<int> next = 0, faults = 0, responses = 0;
    std::mutex failuresLock;
    std::vector<std::string> failures;
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c)
        clients.emplace_back([&] {
            for (int round; (round = next++) < total;) {
                TMutator mutator(std::uint32_t(round) * 2654435761u + 17);
                const auto [operation, base] = BaseRequest(std::uint32_t(round));
                const std::string request = mutator.Mutate(base);
                const std::string answer = SoapPost(port, operation, request);
                std::string why;
                if (Acceptable(request, answer, why)) {
                    (answer.rfind("HTTP/1.1 200", 0) == 0 ? responses : faults)++;
                    continue;
                }
                std::lock_guard lock(failuresLock);
                failures.push_back("round " + std::to_string(round) + ": " + why + "\n" + answer.substr(0, 400));
            }
        });
    for (std::thread& client : clients)
        client.join();

    std::printf("responses %d, faults and refusals %d\n", responses.load(), faults.load());
    EXPECT_TRUE(failures.empty()) << failures.size() << " failures, the first:\n" << failures.front();
    // Both kinds of answer occur: the mutations neither all break nor all spare the request.
    EXPECT_GT(responses.load(), total / 20);
    EXPECT_GT(faults.load(), total / 20);
    // The server still serves the fixture afterwards.
    EXPECT_EQ(SoapPost(port, "GetAztecAsString", FixtureRequest("GetAztecAsString")).rfind("HTTP/1.1 200", 0), 0u);
}

} // namespace
