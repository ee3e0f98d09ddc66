// The server's parts on their own: what the parsers let through, the HTML
// builder's escaping, and the manual page.

#include "ServerFuzzTargets.h"
#include "ServerProcess.h"
#include "server/Html.h"
#include "server/Requests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <iterator>
#include <map>

using namespace server;
namespace fs = std::filesystem;

namespace {

const char* kGood =
    R"({"verdict": "verified", "course": "desert", "courseHash": "80167b27c86278d2", "difficulty": "normal",)"
    R"( "autopilot": false, "updates": 5000, "timeMs": 80000, "lapsMs": [26000, 27000, 27000], "rank": 1,)"
    R"( "firstMismatch": null, "build": "b1", "statesHash": "00ff"})";

TEST(ServerParts, TheVerifierIsBelievedOnlyWhenItsLineAndStatusAgree) {
    std::string why;
    const auto good = ParseVerifierOutput(std::string(kGood) + "\n", 0, why);
    ASSERT_TRUE(good) << why;
    EXPECT_EQ(good->timeMs, 80000);
    EXPECT_EQ(good->lapsMs, (std::vector<int64_t>{26000, 27000, 27000}));
    EXPECT_FALSE(good->autopilot);

    auto refused = [&](const std::string& out, int status) {
        why.clear();
        return !ParseVerifierOutput(out, status, why) && !why.empty();
    };
    EXPECT_TRUE(refused(kGood, 1));                                 // says verified, exits mismatch
    EXPECT_TRUE(refused(std::string(kGood) + "\n" + kGood, 0));     // two lines
    EXPECT_TRUE(refused("", 0));
    EXPECT_TRUE(refused("verified", 0));
    auto with = [](const std::string& from, const std::string& to) {
        std::string s = kGood;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    EXPECT_TRUE(refused(with("80000,", "-5,"), 0));
    EXPECT_TRUE(refused(with("80000,", "80000.5,"), 0));
    EXPECT_TRUE(refused(with("80000,", "\"80000\","), 0));
    EXPECT_TRUE(refused(with("80000,", "99999999999999999999,"), 0));
    EXPECT_TRUE(refused(with("[26000, 27000, 27000]", "[]"), 0));
    EXPECT_TRUE(refused(with("[26000, 27000, 27000]", "[26000, 0]"), 0));
    EXPECT_TRUE(refused(with("\"normal\"", "\"nightmare\""), 0));
    EXPECT_TRUE(refused(with("false", "\"no\""), 0));
    EXPECT_TRUE(refused(with("\"00ff\"", "\"zz\""), 0));
    const auto mismatch = ParseVerifierOutput(R"({"verdict": "mismatch", "reason": "update 12"})", 1, why);
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->reason, "update 12");
}

TEST(ServerParts, RequestFieldsAreCheckedExactly) {
    EXPECT_TRUE(ValidPlayerName("abc"));
    EXPECT_TRUE(ValidPlayerName("A-Z_a-z_0-9_-xyz"));
    EXPECT_FALSE(ValidPlayerName("ab"));
    EXPECT_FALSE(ValidPlayerName("abcdefghijklmnopq"));
    EXPECT_FALSE(ValidPlayerName(std::string("ab\0c", 4)));

    const std::string token(64, 'a');
    EXPECT_EQ(ParseBearer("Bearer " + token), token);
    EXPECT_FALSE(ParseBearer("Bearer " + token + " "));
    EXPECT_FALSE(ParseBearer("Bearer  " + token.substr(1)));
    EXPECT_FALSE(ParseBearer("Bearer " + std::string(64, 'G')));

    EXPECT_EQ(ParseId("12"), 12);
    for (const char* bad : {"", "0", "012", "+1", "-1", "1e3", "1 ", "9999999999999999999"}) EXPECT_FALSE(ParseId(bad)) << bad;

    EXPECT_EQ(CheckRaceFile("vorlan-moto-race 1\n"), "");
    EXPECT_EQ(CheckRaceFile("vorlan-moto-race 1"), "");
    EXPECT_EQ(CheckRaceFile("vorlan-moto-race 1\n\xe2\x82\xac ok\n"), "");
    EXPECT_NE(CheckRaceFile("vorlan-moto-race 1\r\n"), "");
    EXPECT_NE(CheckRaceFile("vorlan-moto-race 1\n\xed\xa0\x80"), "");  // a surrogate
    EXPECT_NE(CheckRaceFile("vorlan-moto-race 1\n\xc0\x80"), "");      // an overlong NUL
    EXPECT_NE(CheckRaceFile("vorlan-moto-race 1\n\xe2\x82"), "");      // cut short

    std::string why;
    const auto q = ParseBoardQuery({{"difficulty", "hard"}, {"limit", "7"}, {"around", "Ana_1"}, {"x", "y"}}, why);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->difficulty, "hard");
    EXPECT_EQ(q->limit, 7);
    EXPECT_EQ(q->around, "Ana_1");
}

TEST(ServerParts, HtmlEscapesEveryStringAndOnlyLiteralsAreMarkup) {
    Html h;
    const std::string name = "<b>\"Bo\" & 'Al'</b>";
    h << "<p>" << name << "</p>";
    EXPECT_EQ(h.Str(), "<p>&lt;b&gt;&quot;Bo&quot; &amp; &#39;Al&#39;&lt;/b&gt;</p>");
    EXPECT_EQ(UrlSegment("a b/../c"), "a%20b%2F..%2Fc");
    EXPECT_EQ(FormatTime(83456), "1:23.456");
    EXPECT_EQ(FormatTime(5), "0:00.005");
}

// The fuzzers' seeds and kept inputs, run through the same entry points
// (which abort on a broken promise) in every build.
TEST(ServerParts, TheFuzzInputsKeepTheParsersPromises) {
    const std::map<std::string, void (*)(const uint8_t*, size_t)> targets = {
        {"server_player_body", FuzzServerPlayerBody}, {"server_authorization", FuzzServerAuthorization},
        {"server_racefile", FuzzServerRaceFile}, {"server_board_query", FuzzServerBoardQuery},
        {"server_verifier_output", FuzzServerVerifierOutput}};
    int inputs = 0;
    for (const auto& [name, fuzz] : targets) {
        for (const char* kind : {"seeds", "regressions"}) {
            const fs::path folder = fs::path(VORLAN_SOURCE_DIR) / "fuzz" / kind / name;
            if (!fs::is_directory(folder)) continue;
            for (const auto& entry : fs::directory_iterator(folder)) {
                std::ifstream in(entry.path(), std::ios::binary);
                const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                fuzz(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
                ++inputs;
            }
        }
    }
    EXPECT_GE(inputs, 5);
}

// The manual page's options are --help's, in the same order.
TEST(ServerParts, TheManualPageListsTheOptionsOfHelp) {
    std::string help;
    FILE* pipe = popen(VORLAN_BINARY_DIR "/vorlan-moto-server --help", "r");
    ASSERT_TRUE(pipe);
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) help.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0);
    std::vector<std::string> fromHelp, fromPage;
    std::istringstream h(help);
    static const std::regex helpLine(R"(^  (--[a-z0-9-]+))");
    for (std::string l; std::getline(h, l);)
        if (std::smatch m; std::regex_search(l, m, helpLine)) fromHelp.push_back(m[1]);
    std::ifstream page(VORLAN_SOURCE_DIR "/packaging/vorlan-moto-server.8");
    static const std::regex pageLine(R"(^\.BI? \\-\\-([a-z0-9\\-]+))");
    for (std::string l; std::getline(page, l);) {
        if (std::smatch m; std::regex_search(l, m, pageLine)) {
            std::string name = m[1];
            name = std::regex_replace(name, std::regex(R"(\\-)"), "-");
            fromPage.push_back("--" + name);
        }
    }
    EXPECT_GE(fromHelp.size(), 10u);
    EXPECT_EQ(fromPage, fromHelp);
}

}  // namespace
