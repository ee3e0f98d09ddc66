// The online client's parts on their own: a shared course's archive is
// unpacked only when every entry is a plain file or folder inside the
// course's own folder; the outbox keeps each race with the server's run
// number until its verdict; the token file is the player's alone; the lines
// the screens show; the settings' server and name.

#include "online/CourseArchive.h"
#include "online/Outbox.h"
#include "online/TokenFile.h"
#include "profile/Settings.h"
#include "scene/OnlineHud.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zlib.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
fs::path Fresh(const std::string& tag) {
    std::string pattern = (fs::temp_directory_path() / ("vorlan-online-parts-" + tag + "-XXXXXX")).string();
    return mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
}

struct Entry {
    Entry(std::string name, char type, std::string content = {}, std::string link = {})
        : name(std::move(name)), type(type), content(std::move(content)), link(std::move(link)) {}
    std::string name;
    char type;
    std::string content;
    std::string link;
};

std::string Tar(const std::vector<Entry>& entries) {
    std::string tar;
    for (const Entry& e : entries) {
        std::array<char, 512> h{};
        std::memcpy(h.data(), e.name.data(), std::min<size_t>(e.name.size(), 100));
        std::snprintf(h.data() + 100, 8, "%07o", 0644);
        std::snprintf(h.data() + 124, 12, "%011zo", e.content.size());
        h[156] = e.type;
        std::memcpy(h.data() + 157, e.link.data(), std::min<size_t>(e.link.size(), 100));
        std::memcpy(h.data() + 257, "ustar", 6);
        std::memset(h.data() + 148, ' ', 8);
        unsigned sum = 0;
        for (char c : h) sum += static_cast<unsigned char>(c);
        std::snprintf(h.data() + 148, 8, "%06o", sum);
        tar.append(h.data(), 512);
        tar += e.content;
        tar.append((512 - e.content.size() % 512) % 512, '\0');
    }
    tar.append(1024, '\0');
    return tar;
}

std::string Gzip(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

size_t FilesUnder(const fs::path& dir) {
    size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) n += e.is_regular_file() || e.is_symlink();
    return n;
}
}  // namespace

TEST(OnlineParts, ACourseArchiveIsUnpackedOnlyInsideItsOwnFolder) {
    const fs::path root = Fresh("archive");
    const fs::path courses = root / "data" / "courses";
    const std::string good = Gzip(Tar({{"loop/", '5'}, {"loop/course.json", '0', "{}"}, {"loop/models/road.gltf", '0', "x"}}));
    std::string error;
    ASSERT_TRUE(CourseArchive::Install(good, courses.string(), "loop", error)) << error;
    EXPECT_EQ(std::ifstream(courses / "loop" / "course.json").get(), '{');
    EXPECT_TRUE(fs::is_regular_file(courses / "loop" / "models" / "road.gltf"));
    // Again: the copy there goes aside, the new one takes its place; no half course is ever in the folder.
    ASSERT_TRUE(CourseArchive::Install(good, courses.string(), "loop", error)) << error;
    EXPECT_TRUE(fs::is_regular_file(root / "data" / "courses-replaced" / "loop" / "course.json"));
    size_t inCourses = 0;
    for (const auto& e : fs::directory_iterator(courses)) inCourses += e.is_directory();
    EXPECT_EQ(inCourses, 1u);

    struct Bad {
        const char* what;
        std::string archive;
        const char* named;  // in the refusal
    };
    const std::string big(200, 'x');
    std::string cut = Tar({{"loop/course.json", '0', big}});
    cut.resize(600);
    const Bad bad[] = {
        {"dot-dot", Gzip(Tar({{"loop/../../escape.txt", '0', "x"}})), "loop/../../escape.txt"},
        {"absolute", Gzip(Tar({{"/tmp/escape.txt", '0', "x"}})), "/tmp/escape.txt"},
        {"symlink", Gzip(Tar({{"loop/", '5'}, {"loop/link", '2', "", "/etc/passwd"}})), "loop/link"},
        {"hard link", Gzip(Tar({{"loop/course.json", '1', "", "/etc/passwd"}})), "loop/course.json"},
        {"device", Gzip(Tar({{"loop/dev", '3'}})), "loop/dev"},
        {"two folders", Gzip(Tar({{"loop/course.json", '0', "{}"}, {"other/x", '0', "x"}})), "other/x"},
        {"cut short", Gzip(cut), "loop/course.json"},
        {"not gzip", Tar({{"loop/course.json", '0', "{}"}}), "gzip"},
        {"another id", Gzip(Tar({{"other/course.json", '0', "{}"}})), "other"},
        {"no course file", Gzip(Tar({{"loop/readme", '0', "x"}})), "course.json"},
        {"oversize", std::string(CourseArchive::kMaxPackedBytes + 1, 'x'), "MiB"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        const fs::path dest = Fresh("bad");
        error.clear();
        EXPECT_FALSE(CourseArchive::Install(b.archive, (dest / "courses").string(), "loop", error));
        EXPECT_NE(error.find(b.named), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(FilesUnder(dest), 0u) << "something was left behind";
        EXPECT_FALSE(fs::exists(fs::temp_directory_path() / "escape.txt"));
    }
}

TEST(OnlineParts, TheOutboxKeepsEachRaceWithItsRunNumberUntilItsVerdict) {
    const fs::path dir = Fresh("outbox") / "outbox";
    Outbox outbox(dir.string());
    std::string error;
    const std::string first = outbox.Add("race one\n", error);
    const std::string second = outbox.Add("race two\n", error);
    ASSERT_FALSE(first.empty()) << error;
    ASSERT_FALSE(second.empty()) << error;
    auto waiting = outbox.Waiting();
    ASSERT_EQ(waiting.size(), 2u);
    EXPECT_EQ(waiting[0].name, first);  // oldest first
    EXPECT_FALSE(waiting[0].runId);
    EXPECT_EQ(outbox.Read(second), "race two\n");

    // Taken by the server: its number is kept, so the file is asked after, never sent again.
    ASSERT_TRUE(outbox.SetRunId(first, 42, error)) << error;
    waiting = Outbox(dir.string()).Waiting();
    ASSERT_TRUE(waiting[0].runId);
    EXPECT_EQ(*waiting[0].runId, 42);
    // A damaged number reads as none: sent again, and the server says it has it already.
    std::ofstream(dir / (second + ".id")) << "forty-two";
    EXPECT_FALSE(Outbox(dir.string()).Waiting()[1].runId);

    outbox.Done(first);
    outbox.SetAside(second);
    EXPECT_TRUE(outbox.Waiting().empty());
    EXPECT_FALSE(fs::exists(dir / (first + ".race")));
    EXPECT_FALSE(fs::exists(dir / (first + ".id")));
    EXPECT_TRUE(fs::exists(dir / (second + ".race.refused"))) << "a refused race is kept";
    // Names that are not the outbox's are never read.
    EXPECT_FALSE(outbox.Read("../settings"));
}

TEST(OnlineParts, TheTokenFileIsThePlayersAloneAndADamagedOneIsSetAside) {
    const fs::path dir = Fresh("token");
    const std::string path = (dir / "token").string();
    std::string error;
    const ServerToken token{"http://127.0.0.1:8080", "Rider_1", std::string(64, 'a')};
    ASSERT_TRUE(TokenFile::Save(path, token, error)) << error;
    struct stat st{};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const auto read = TokenFile::Load(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->server, token.server);
    EXPECT_EQ(read->name, token.name);
    EXPECT_EQ(read->token, token.token);
    EXPECT_FALSE(TokenFile::Load((dir / "none").string()));

    std::ofstream(path) << "http://127.0.0.1:8080 Rider_1 not-a-token\n";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(TokenFile::Load(path));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("token file"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(path + ".bad"));
}

TEST(OnlineParts, TheScreensSayHowTheRaceAndTheBoardStand) {
    using S = OnlineRaceState::State;
    EXPECT_EQ(OnlineResultLine({S::Off, {}, {}, {}}), "");
    EXPECT_EQ(OnlineResultLine({S::Sending, {}, {}, {}}), "SENDING TO THE SERVER");
    EXPECT_EQ(OnlineResultLine({S::Queued, {}, {}, {}}), "WAITING TO BE SENT");
    EXPECT_EQ(OnlineResultLine({S::Verified, 3, 57, {}}), "VERIFIED 3RD OF 57");
    EXPECT_EQ(OnlineResultLine({S::Rejected, {}, {}, "update 12: the state differs"}), "REJECTED: UPDATE 12: THE STATE DIFFERS");
    const std::pair<int, const char*> ordinals[] = {{1, "1ST"}, {2, "2ND"}, {3, "3RD"}, {4, "4TH"}, {11, "11TH"},
                                                    {12, "12TH"}, {13, "13TH"}, {21, "21ST"}, {102, "102ND"}, {111, "111TH"}};
    for (const auto& [n, text] : ordinals) EXPECT_EQ(Ordinal(n), text);
    EXPECT_EQ(OnlineTitleLine({56048u, "Rider_1", 7, 4}), "WORLD 0'56\"04 RIDER_1   YOU 4TH");
    EXPECT_EQ(OnlineTitleLine({std::nullopt, "", 0, std::nullopt}), "NO WORLD RECORD YET");
    EXPECT_EQ(OnlineStanding{}.rank, std::nullopt);
}

TEST(OnlineParts, TheServerAndTheNameAreSettingsRefusedWhenTheyCannotBeUsed) {
    Settings s;
    s.Parse("server = http://127.0.0.1:8080\nplayer = Rider_1\n");
    EXPECT_EQ(s.server, "http://127.0.0.1:8080");
    EXPECT_EQ(s.player, "Rider_1");
    EXPECT_TRUE(s.Problems().empty());
    EXPECT_NE(s.Text().find("server = http://127.0.0.1:8080\n"), std::string::npos);
    Settings bad;
    bad.Parse("server = ftp://example\nplayer = no spaces allowed\n");
    EXPECT_EQ(bad.server, "");
    EXPECT_EQ(bad.player, "");
    EXPECT_EQ(bad.Problems().size(), 2u);
    // Offline, nothing of either is written.
    Settings offline;
    EXPECT_EQ(offline.Text().find("server"), std::string::npos);
    EXPECT_EQ(offline.Text().find("player"), std::string::npos);
}
