// The API against one real server shared by every case here: players,
// runs and their verdicts, boards, pages, and hostile requests.

#include "ServerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <zlib.h>

#include <chrono>
#include <thread>

using namespace server_test;
using nlohmann::json;

namespace {

class ServerApi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new ServerProcess({"--workers", "2", "--rate-player", "6", "--rate-address", "100000",
                                     "--request-timeout", "3", "--read-timeout", "2", "--rate-courses", "2", "--rate-signups", "100000"});
        server_->Start();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_->Running());
        client_ = std::make_unique<httplib::Client>(server_->Client());
        hash_ = CourseHash(*client_, "desert");
    }
    httplib::Client& C() { return *client_; }

    // Submits a file and returns the run's verdict.
    json Verdict(const std::string& token, const std::vector<std::string>& standIn) {
        const auto res = Submit(C(), token, RaceFile(standIn));
        EXPECT_TRUE(res && res->status == 202) << (res ? res->body : "no answer");
        if (!res || res->status != 202) return {};
        return WaitForVerdict(C(), json::parse(res->body)["id"].get<int64_t>());
    }
    std::string Line(int64_t timeMs, const std::string& difficulty = "normal") {
        return VerifiedLine("desert", hash_, difficulty, timeMs, {timeMs / 3, timeMs / 3, timeMs - 2 * (timeMs / 3)},
                            NewStatesHash());
    }
    static json Body(const httplib::Result& res) { return json::parse(res->body, nullptr, false); }

    static ServerProcess* server_;
    std::unique_ptr<httplib::Client> client_;
    std::string hash_;
};

ServerProcess* ServerApi::server_ = nullptr;

TEST_F(ServerApi, PlayersRegisterOnceEachNameIgnoringCase) {
    const std::string name = NewName("Rider_");
    const auto res = C().Post("/api/v1/players", json{{"name", name}}.dump(), "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 201);
    const json body = Body(res);
    EXPECT_EQ(body["name"], name);
    const std::string token = body["token"];
    EXPECT_EQ(token.size(), 64u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);

    std::string shouted = name;
    for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto again = C().Post("/api/v1/players", json{{"name", shouted}}.dump(), "application/json");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 409);
    EXPECT_NE(Body(again)["error"].get<std::string>().find("name"), std::string::npos);

    // The token is only ever shown once, and only its hash is kept.
    const std::string other = Register(C(), NewName("Other_"));
    EXPECT_NE(other, token);
}

TEST_F(ServerApi, BadNamesAndBodiesAreRefusedNamingTheField) {
    const std::vector<std::string> bodies = {
        R"({"name": "ab"})", R"({"name": "abcdefghijklmnopq"})", R"({"name": "<script>x"})",
        R"({"name": "Robert'); DROP TABLE players;--"})", R"({"name": "tab\there"})", R"({"name": "bell\u0007"})",
        R"({"name": "caf\u00e9x"})", R"({"name": "a b c"})", R"({"name": 12345})", R"({"nom": "abcd"})",
        R"(["abcd"])", "not json at all", "", R"({"name": "abcd")", std::string(2000, '{')};
    for (const std::string& body : bodies) {
        const auto res = C().Post("/api/v1/players", body, "application/json");
        ASSERT_TRUE(res) << body;
        EXPECT_TRUE(res->status == 400 || res->status == 413) << body << " -> " << res->status;
        const json error = Body(res);
        ASSERT_TRUE(error.is_object()) << res->body;
        const std::string why = error["error"];
        EXPECT_TRUE(why.rfind("name:", 0) == 0 || why.rfind("body:", 0) == 0) << body << " -> " << why;
    }
    // None of them was stored: the board of names is untouched by the markup one.
    EXPECT_EQ(C().Get("/api/v1/players/%3Cscript%3Ex")->status, 404);
}

TEST_F(ServerApi, ARunIsVerifiedWithItsTimeRankAndBoard) {
    const std::string name = NewName("Fast_");
    const std::string token = Register(C(), name);
    const auto res = Submit(C(), token, RaceFile({Line(61000, "hard")}));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 202) << res->body;
    const json accepted = Body(res);
    EXPECT_EQ(accepted["status"], "pending");
    const int64_t id = accepted["id"];
    EXPECT_EQ(accepted["url"], "/api/v1/runs/" + std::to_string(id));

    const json run = WaitForVerdict(C(), id);
    ASSERT_EQ(run["status"], "verified") << run.dump();
    EXPECT_EQ(run["timeMs"], 61000);
    EXPECT_EQ(run["lapsMs"], json({20333, 20333, 20334}));
    EXPECT_EQ(run["board"]["course"], "desert");
    EXPECT_EQ(run["board"]["difficulty"], "hard");
    EXPECT_GE(run["rank"].get<int>(), 1);
    EXPECT_EQ(run["player"], name);
}

TEST_F(ServerApi, TheSameFileAgainIs409AndTheFileDownloadsAsSent) {
    const std::string token = Register(C(), NewName("Twice_"));
    const std::string file = RaceFile({Line(70000)});
    const auto first = Submit(C(), token, file);
    ASSERT_EQ(first->status, 202);
    const int64_t id = Body(first)["id"];
    const auto second = Submit(C(), Register(C(), NewName("Thief_")), file);
    EXPECT_EQ(second->status, 409);
    EXPECT_NE(Body(second)["error"].get<std::string>().find("run " + std::to_string(id)), std::string::npos);

    const auto download = C().Get("/api/v1/runs/" + std::to_string(id) + "/file");
    ASSERT_TRUE(download);
    EXPECT_EQ(download->status, 200);
    EXPECT_EQ(download->body, file);
}

TEST_F(ServerApi, ACopiedRaceIsRejectedNamingTheRunItCopies) {
    const std::string states = NewStatesHash();
    const std::string line = VerifiedLine("desert", hash_, "easy", 99000, {33000, 33000, 33000}, states);
    const json original = Verdict(Register(C(), NewName("Orig_")), {line});
    ASSERT_EQ(original["status"], "verified");
    // Another file (a byte changed) that re-simulates to the same states.
    const json copy = Verdict(Register(C(), NewName("Copy_")), {line, "exit 0"});
    EXPECT_EQ(copy["status"], "rejected");
    EXPECT_NE(copy["reason"].get<std::string>().find("run " + std::to_string(original["id"].get<int>())),
              std::string::npos)
        << copy.dump();
}

TEST_F(ServerApi, SubmittingNeedsAToken) {
    const std::string file = RaceFile({Line(80000)});
    for (const std::string& header : {std::string(), std::string("Bearer"), std::string("Bearer abc"),
                                      std::string("Basic dXNlcjpwYXNz"), "Bearer " + std::string(64, 'A'),
                                      "Bearer " + std::string(64, '0'), "bearer " + std::string(64, '1')}) {
        httplib::Headers headers;
        if (!header.empty()) headers.emplace("Authorization", header);
        const auto res = C().Post("/api/v1/runs", headers, file, "text/plain");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 401) << header;
        EXPECT_EQ(Body(res)["error"].get<std::string>().rfind("Authorization:", 0), 0u);
    }
}

TEST_F(ServerApi, WhatIsNotARaceFileIs400) {
    const std::string token = Register(C(), NewName("Junk_"));
    const std::vector<std::string> bodies = {
        "", "garbage", "vorlan-moto-race 2\n", "vorlan-replay 1\nx\n", " vorlan-moto-race 1\n",
        std::string("vorlan-moto-race 1\n\0\1\2binary", 28), "vorlan-moto-race 1\nbroken \xc3\x28 utf-8\n",
        "vorlan-moto-race 1 \n", "\xef\xbb\xbfvorlan-moto-race 1\n"};
    for (const std::string& body : bodies) {
        const auto res = Submit(C(), token, body);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << body;
        EXPECT_EQ(Body(res)["error"].get<std::string>().rfind("body:", 0), 0u) << res->body;
    }
}

TEST_F(ServerApi, BodiesOver256KiBAre413FromTheirLengthOrWhileRead) {
    const std::string token = Register(C(), NewName("Big_"));
    std::string big = RaceFile({Line(80000)});
    big.resize(300 * 1024, 'x');
    const auto res = Submit(C(), token, big);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    EXPECT_EQ(Body(res)["error"].get<std::string>().rfind("body:", 0), 0u);

    // A claimed length is refused before a byte of the body comes.
    const std::string claim = "POST /api/v1/runs HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + token +
                              "\r\nContent-Length: 10000000000\r\n\r\n";
    EXPECT_NE(RawExchange(server_->Port(), claim).find("413"), std::string::npos);

    // Chunked, without a length: cut off once past the limit.
    std::string chunked = "POST /api/v1/runs HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + token +
                          "\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string chunk(64 * 1024, 'y');
    for (int i = 0; i < 5; ++i) chunked += "10000\r\n" + chunk + "\r\n";
    chunked += "0\r\n\r\n";
    const std::string reply = RawExchange(server_->Port(), chunked);
    EXPECT_NE(reply.find("413"), std::string::npos) << reply.substr(0, 200);
}

TEST_F(ServerApi, VerdictsOtherThanVerifiedAreRejectedWithTheirReason) {
    struct Case {
        std::vector<std::string> standIn;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{R"(print {"verdict": "mismatch", "reason": "state differs at update 812", "firstMismatch": 812})", "exit 1"},
         "mismatch: state differs at update 812 (first mismatch at update 812)"},
        {{R"(print {"verdict": "refused", "reason": "not a race file"})", "exit 2"}, "refused: not a race file"},
        {{VerifiedLine("desert", hash_, "normal", 50000, {1, 2, 3}, NewStatesHash(), true)}, "autopilot"},
        {{VerifiedLine("moon", hash_, "normal", 50000, {1, 2, 3}, NewStatesHash())}, "course: 'moon'"},
        {{VerifiedLine("desert", "0000000000000000", "normal", 50000, {1, 2, 3}, NewStatesHash())}, "courseHash"},
        {{"print this is not json"}, "not a JSON object"},
        {{VerifiedLine("desert", hash_, "normal", 50000, {1, 2, 3}, NewStatesHash()), "exit 1"}, "exited with status 1"},
        {{R"(print {"verdict": "verified", "course": "desert"})"}, "missing"},
        {{R"(print {"verdict": "perfect"})"}, "verdict"},
        {{"print "}, "printed nothing"},
        // Statuses a shell gives a program it could not run: still the verifier's, not the sandbox's.
        {{"print ", "exit 126"}, "printed nothing (exit status 126)"},
    };
    for (const Case& c : cases) {
        const json run = Verdict(Register(C(), NewName("Bad_")), c.standIn);
        EXPECT_EQ(run["status"], "rejected") << c.standIn[0];
        EXPECT_NE(run.value("reason", std::string()).find(c.reason), std::string::npos)
            << c.standIn[0] << " -> " << run.dump();
    }
}

TEST_F(ServerApi, BoardsRankEachPlayersBestAndTiesGoToTheEarlierRun) {
    // A board of its own: the hard riverside board is only used here.
    const std::string hash = CourseHash(C(), "riverside");
    auto line = [&](int64_t ms) { return VerifiedLine("riverside", hash, "hard", ms, {ms}, NewStatesHash()); };
    const std::string a = NewName("Ana_"), b = NewName("Ben_"), c = NewName("Cai_");
    const std::string ta = Register(C(), a), tb = Register(C(), b), tc = Register(C(), c);
    ASSERT_EQ(Verdict(ta, {line(90000)})["status"], "verified");
    ASSERT_EQ(Verdict(tb, {line(85000)})["status"], "verified");
    ASSERT_EQ(Verdict(tc, {line(85000)})["status"], "verified");  // ties with b, later
    ASSERT_EQ(Verdict(ta, {line(95000)})["status"], "verified");  // slower: a's best stays
    const json better = Verdict(ta, {line(80000)});
    ASSERT_EQ(better["status"], "verified");
    EXPECT_EQ(better["rank"], 1);

    const auto res = C().Get("/api/v1/boards/riverside?difficulty=hard&limit=10");
    ASSERT_EQ(res->status, 200);
    const json board = Body(res);
    EXPECT_EQ(board["course"], "riverside");
    EXPECT_EQ(board["difficulty"], "hard");
    ASSERT_EQ(board["rows"].size(), 3u) << board.dump();
    const std::vector<std::pair<std::string, int>> expected = {{a, 80000}, {b, 85000}, {c, 85000}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(board["rows"][i]["rank"], i + 1);
        EXPECT_EQ(board["rows"][i]["player"], expected[i].first);
        EXPECT_EQ(board["rows"][i]["timeMs"], expected[i].second);
        EXPECT_EQ(board["rows"][i]["lapsMs"], json({expected[i].second}));
        EXPECT_TRUE(board["rows"][i]["run"].is_number_integer());
        EXPECT_TRUE(board["rows"][i]["date"].is_number_integer());
    }
    // One row around c; the world record in the course list.
    const json around = Body(C().Get("/api/v1/boards/riverside?difficulty=hard&limit=1&around=" + c));
    ASSERT_EQ(around["rows"].size(), 1u);
    EXPECT_EQ(around["rows"][0]["player"], c);
    EXPECT_EQ(around["rows"][0]["rank"], 3);
    const json courses = Body(C().Get("/api/v1/courses"));
    for (const auto& course : courses["courses"]) {
        if (course["id"] != "riverside") continue;
        EXPECT_EQ(course["records"]["hard"]["player"], a);
    }
}

TEST_F(ServerApi, BoardQueriesAreChecked) {
    EXPECT_EQ(C().Get("/api/v1/boards/desert?difficulty=insane")->status, 400);
    EXPECT_EQ(C().Get("/api/v1/boards/desert?limit=0")->status, 400);
    EXPECT_EQ(C().Get("/api/v1/boards/desert?limit=101")->status, 400);
    EXPECT_EQ(C().Get("/api/v1/boards/desert?limit=-5")->status, 400);
    EXPECT_EQ(C().Get("/api/v1/boards/desert?around=%3Cb%3E")->status, 400);
    EXPECT_EQ(C().Get("/api/v1/boards/desert?around=NobodyHere")->status, 404);
    EXPECT_EQ(C().Get("/api/v1/boards/atlantis")->status, 404);
    EXPECT_EQ(C().Get("/api/v1/runs/abc")->status, 400);
    EXPECT_EQ(C().Get("/api/v1/runs/99999999")->status, 404);
    const auto res = C().Get("/api/v1/boards/desert?difficulty=easy&limit=3");
    EXPECT_EQ(res->status, 200);
    EXPECT_LE(Body(res)["rows"].size(), 3u);
}

TEST_F(ServerApi, APlayerPastTheHourlyRateGets429WithRetryAfter) {
    const std::string token = Register(C(), NewName("Busy_"));
    for (int i = 0; i < 6; ++i) ASSERT_EQ(Submit(C(), token, RaceFile({Line(100000 + i)}))->status, 202);
    const auto res = Submit(C(), token, RaceFile({Line(100100)}));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 429);
    EXPECT_EQ(Body(res)["error"].get<std::string>().rfind("player:", 0), 0u);
    ASSERT_TRUE(res->has_header("Retry-After"));
    const int retry = std::stoi(res->get_header_value("Retry-After"));
    EXPECT_GT(retry, 3500);
    EXPECT_LE(retry, 3600);
}

TEST_F(ServerApi, PagesShowTimesAndEscapeWhatCameFromOutside) {
    const std::string name = NewName("Page_");
    const std::string token = Register(C(), name);
    const json run = Verdict(token, {Line(77777)});
    ASSERT_EQ(run["status"], "verified");
    const std::string id = std::to_string(run["id"].get<int>());

    const auto home = C().Get("/");
    ASSERT_EQ(home->status, 200);
    EXPECT_NE(home->body.find("Desert"), std::string::npos);
    EXPECT_NE(home->body.find("/courses/canyon/map.png"), std::string::npos);
    const auto course = C().Get("/courses/desert");
    ASSERT_EQ(course->status, 200);
    const auto player = C().Get("/players/" + name);
    ASSERT_EQ(player->status, 200);
    EXPECT_NE(player->body.find("1:17.777"), std::string::npos);
    const auto page = C().Get("/runs/" + id);
    ASSERT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("1:17.777"), std::string::npos);
    EXPECT_NE(page->body.find("/api/v1/runs/" + id + "/file"), std::string::npos);
    const auto map = C().Get("/courses/canyon/map.png");
    ASSERT_EQ(map->status, 200);
    EXPECT_EQ(map->body.substr(1, 3), "PNG");

    // A reason comes from the verifier's output: shown as text, never as markup.
    const json bad = Verdict(token, {R"(print {"verdict": "refused", "reason": "<script>alert('x')</script>"})",
                                     "exit 2"});
    const auto rejected = C().Get("/runs/" + std::to_string(bad["id"].get<int>()));
    EXPECT_EQ(rejected->body.find("<script>"), std::string::npos);
    EXPECT_NE(rejected->body.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"), std::string::npos);

    for (const char* missing : {"/courses/atlantis", "/players/NoSuchRider", "/runs/0", "/runs/x"}) {
        const auto res = C().Get(std::string(missing));
        EXPECT_EQ(res->status, 404) << missing;
    }
}

// The path picture is drawn from what the sandboxed verifier leaves as its
// trace: a link (here to the database) is not followed, frames that are not
// frames are refused with their line, and only a good trace makes a picture.
TEST_F(ServerApi, ARunsPathIsDrawnOnlyFromATraceOfFrames) {
    const std::string token = Register(C(), NewName("Trace_"));
    const std::string riverside = CourseHash(C(), "riverside");
    const auto run = [&](const std::string& trace) {
        const json verdict = Verdict(token, {trace, VerifiedLine("riverside", riverside, "normal", 90000,
                                                                 {30000, 30000, 30000}, NewStatesHash())});
        EXPECT_EQ(verdict["status"], "verified") << verdict.dump();
        return std::to_string(verdict["id"].get<int64_t>());
    };
    // The picture (or the line saying why there is none) follows the verdict.
    const auto outcome = [&](const std::string& id) {
        for (int i = 0; i < 100; ++i) {
            if (C().Get("/runs/" + id + "/path.png")->status == 200) return std::string("drawn");
            const std::string log = server_->Log();
            const size_t at = log.find("run " + id + ": no path picture: ");
            if (at != std::string::npos) return log.substr(at, log.find('\n', at) - at);
            usleep(100000);
        }
        return std::string("nothing");
    };
    const std::string frame = R"({"mode":0,"timer":{"countdown":0},"bikes":[{"pos":[0,0,0]},{"pos":[1,0,1]},{"pos":[2,0,2]}]})";
    const std::string linked = run("trace-link " + server_->Data() + "/server.db");
    const std::string garbled = run(R"(trace {"bikes":[{"pos":"x"},{},{}]})");
    const std::string good = run("trace " + frame);
    EXPECT_EQ(outcome(linked), "run " + linked + ": no path picture: the trace is a link");
    EXPECT_EQ(outcome(garbled), "run " + garbled + ": no path picture: trace: line 1: bikes[0].pos: not a place");
    EXPECT_EQ(outcome(good), "drawn");
    const auto png = C().Get("/runs/" + good + "/path.png");
    EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(png->body.substr(1, 3), "PNG");
    EXPECT_NE(C().Get("/runs/" + good)->body.find("/runs/" + good + "/path.png"), std::string::npos);
    EXPECT_EQ(C().Get("/runs/" + linked)->body.find("path.png"), std::string::npos);
    EXPECT_EQ(C().Get("/runs/" + linked + "/path.png")->status, 404);
}

TEST_F(ServerApi, PathsWithDotDotReachNothingOutside) {
    for (const std::string path :
         {"/courses/../../etc/passwd", "/courses/%2e%2e/map.png", "/courses/..%2f..%2fserver.db/map.png",
          "/courses/desert/../../../../etc/passwd", "/api/v1/runs/..%2f1/file", "/players/..%2f..%2fetc",
          "/courses/%2e%2e%2f%2e%2e%2f%2e%2e%2fetc%2fpasswd/map.png"}) {
        const std::string reply = RawExchange(server_->Port(), "GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(reply.find("root:"), std::string::npos) << path;
        EXPECT_EQ(reply.find("SQLite format"), std::string::npos) << path;
        EXPECT_TRUE(reply.find(" 404 ") != std::string::npos || reply.find(" 400 ") != std::string::npos)
            << path << ": " << reply.substr(0, 100);
    }
}

TEST_F(ServerApi, GarbageRequestsAreRefusedAndTheServerKeepsServing) {
    const std::vector<std::string> garbage = {
        "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03 hello tls\r\n\r\n", "GET\r\n\r\n", "HELLO WORLD\r\n\r\n",
        "GET / HTTP/9.9\r\n\r\n", "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n",
        "POST /api/v1/players HTTP/1.1\r\nContent-Length: 40\r\n\r\n{\"name\":",  // truncated
        "POST /api/v1/players HTTP/1.1\r\nContent-Length: abc\r\n\r\n",
        std::string("GET / HTTP/1.1\r\nHost: \0\1\2\r\n\r\n", 28)};
    for (const std::string& g : garbage) {
        const std::string reply = RawExchange(server_->Port(), g, 5);
        EXPECT_EQ(reply.find("200 OK"), std::string::npos) << g.substr(0, 40);
    }
    EXPECT_EQ(C().Get("/api/v1/courses")->status, 200);
}

TEST_F(ServerApi, ASlowClientIsCutOffWhileOthersAreServed) {
    // One byte a second: no single wait is long, but the request never ends.
    const auto started = std::chrono::steady_clock::now();
    std::string slowReply;
    bool cut = false;
    std::thread slow([&] {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(server_->Port()));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        const std::string request = "GET /api/v1/courses HTTP/1.1\r\nHost: slow\r\nX-Padding: " + std::string(40, 'p');
        for (size_t i = 0; i < request.size() && std::chrono::steady_clock::now() - started < std::chrono::seconds(12); ++i) {
            if (send(fd, &request[i], 1, MSG_NOSIGNAL) != 1) {
                cut = true;
                break;
            }
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 1000) > 0) {
                char buffer[512];
                const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
                if (n > 0) slowReply.append(buffer, static_cast<size_t>(n));
                cut = true;  // answered or closed before the request was whole
                break;
            }
        }
        close(fd);
    });
    // Meanwhile everyone else is served at once.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(C().Get("/api/v1/courses")->status, 200);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    slow.join();
    EXPECT_TRUE(cut) << "the slow client was never cut off";
    EXPECT_EQ(slowReply.find("200 OK"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

// The README's worked example.
const std::string kLittleLoop = LoopCourse("little-loop", "Little Loop");

std::string Gunzip(const std::string& gz) {
    z_stream z{};
    inflateInit2(&z, 15 + 16);
    std::string out;
    char buffer[65536];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
    z.avail_in = static_cast<uInt>(gz.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string();
}

TEST_F(ServerApi, ASharedCourseIsMadeListedRacedAndItsFolderDownloads) {
    const std::string token = Register(C(), NewName("Maker_"));
    httplib::Headers auth = {{"Authorization", "Bearer " + token}};
    const auto made = C().Post("/api/v1/courses", auth, kLittleLoop, "text/plain");
    ASSERT_TRUE(made);
    ASSERT_EQ(made->status, 201) << made->body;
    const json course = Body(made);
    EXPECT_EQ(course["id"], "little-loop");
    EXPECT_EQ(course["name"], "Little Loop");
    const std::string hash = course["hash"];
    EXPECT_EQ(CourseHash(C(), "little-loop"), hash);
    EXPECT_EQ(C().Post("/api/v1/courses", auth, kLittleLoop, "text/plain")->status, 409);
    // A second course that day is taken, a third is not.
    auto renamed = [](const std::string& id) {
        std::string d = kLittleLoop;
        return d.replace(d.find("little-loop"), 11, id);
    };
    EXPECT_EQ(C().Post("/api/v1/courses", auth, renamed("little-loop-2"), "text/plain")->status, 201);
    const auto third = C().Post("/api/v1/courses", auth, renamed("little-loop-3"), "text/plain");
    EXPECT_EQ(third->status, 429);
    EXPECT_TRUE(third->has_header("Retry-After"));

    const json run = Verdict(token, {VerifiedLine("little-loop", hash, "normal", 45000, {15000, 15000, 15000},
                                                  NewStatesHash())});
    EXPECT_EQ(run["status"], "verified") << run.dump();
    EXPECT_EQ(run["rank"], 1);
    const std::string page = C().Get("/courses/little-loop")->body;
    EXPECT_NE(page.find("/api/v1/courses/little-loop/folder"), std::string::npos);
    const std::string author = run["player"];
    EXPECT_NE(page.find("Shared by <a href=\"/players/" + author + "\">" + author + "</a>"), std::string::npos);

    const auto folder = C().Get("/api/v1/courses/little-loop/folder");
    ASSERT_EQ(folder->status, 200);
    const std::string tar = Gunzip(folder->body);
    ASSERT_FALSE(tar.empty());
    EXPECT_EQ(tar.compare(0, 12, "little-loop/"), 0);
    EXPECT_NE(tar.find("little-loop/course.json"), std::string::npos);
    EXPECT_NE(tar.find("little-loop/map.png"), std::string::npos);
    EXPECT_EQ(C().Get("/api/v1/courses/desert/folder")->status, 404);
    EXPECT_EQ(C().Get("/api/v1/courses/nowhere/folder")->status, 404);
}

TEST_F(ServerApi, ADescriptionTheMakerRefusesIs400WithItsLine) {
    const std::string token = Register(C(), NewName("Maker_"));
    httplib::Headers auth = {{"Authorization", "Bearer " + token}};
    std::string tight = kLittleLoop;
    tight.replace(tight.find("id little-loop"), 14, "id tight-loop");
    tight.replace(tight.find("arc 25 180"), 10, "arc 10 180");
    const auto refused = C().Post("/api/v1/courses", auth, tight, "text/plain");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);
    const std::string why = Body(refused)["error"];
    EXPECT_EQ(why.rfind("description: segment 2 (line 6, arc 10", 0), 0u) << why;
    EXPECT_NE(why.find("radius"), std::string::npos) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos);
    EXPECT_EQ(why.find("/tmp"), std::string::npos) << why;
    EXPECT_EQ(C().Get("/api/v1/boards/tight-loop")->status, 404);

    EXPECT_EQ(C().Post("/api/v1/courses", kLittleLoop, "text/plain")->status, 401);
    EXPECT_EQ(C().Post("/api/v1/courses", auth, std::string(9000, '#'), "text/plain")->status, 413);
    EXPECT_EQ(C().Post("/api/v1/courses", auth, std::string("id x\0\1", 7), "text/plain")->status, 400);
}

TEST_F(ServerApi, ACourseTheMakerMakesButTheBikesCannotRaceIs400NamingTheStretch) {
    const std::string token = Register(C(), NewName("Maker_"));
    httplib::Headers auth = {{"Authorization", "Bearer " + token}};
    // The example's bends on a road of 10 m: the bikes run off it, and the
    // gate has no room on it.
    std::string narrow = kLittleLoop;
    narrow.replace(narrow.find("id little-loop"), 14, "id narrow-loop");
    narrow.replace(narrow.find("width 14"), 8, "width 10");
    narrow.erase(narrow.find("gate 240"));
    const auto refused = C().Post("/api/v1/courses", auth, narrow, "text/plain");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400) << refused->body;
    const std::string why = Body(refused)["error"];
    EXPECT_EQ(why.rfind("narrow-loop: not raceable: seed ", 0), 0u) << why;
    EXPECT_NE(why.find("off the road in "), std::string::npos) << why;
    EXPECT_NE(why.find(" m after the start line, approaching checkpoint "), std::string::npos) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos);
    EXPECT_EQ(why.find("/out"), std::string::npos) << why;
    // Neither listed nor kept.
    EXPECT_EQ(C().Get("/api/v1/boards/narrow-loop")->status, 404);
    EXPECT_EQ(C().Get("/api/v1/courses/narrow-loop/folder")->status, 404);
    EXPECT_EQ(Body(C().Get("/api/v1/courses")).dump().find("narrow-loop"), std::string::npos);
}

}  // namespace
