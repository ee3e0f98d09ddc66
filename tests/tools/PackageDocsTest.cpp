// The package's documents against the game and each other: the manual page
// lists exactly the options of --help, the copyright file carries the licence,
// and the metadata names the desktop entry and the changelog's version.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {
std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RunAndRead(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// "  --frames N   run ..." lines of the usage text.
std::set<std::string> HelpOptions(const std::string& usage) {
    std::set<std::string> options;
    static const std::regex line(R"(^  (--[a-z0-9][a-z0-9-]*))");
    std::istringstream in(usage);
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (std::regex_search(l, m, line)) options.insert(m[1]);
    }
    return options;
}

// The first option named on the line after each .TP of the OPTIONS section.
std::set<std::string> ManualOptions(const std::string& page) {
    std::set<std::string> options;
    static const std::regex name(R"(--[a-z0-9][a-z0-9-]*)");
    std::istringstream in(page);
    bool inOptions = false, afterTp = false;
    for (std::string l; std::getline(in, l);) {
        if (l.rfind(".SH", 0) == 0) {
            inOptions = l.find("OPTIONS") != std::string::npos;
            continue;
        }
        if (!inOptions) continue;
        if (l.rfind(".TP", 0) == 0) {
            afterTp = true;
            continue;
        }
        if (!afterTp) continue;
        afterTp = false;
        std::string plain;
        for (size_t i = 0; i < l.size(); ++i) {
            if (l[i] == '\\' && i + 1 < l.size() && l[i + 1] == '-') ++i;
            plain += l[i];
        }
        std::smatch m;
        if (std::regex_search(plain, m, name)) options.insert(m[0]);
    }
    return options;
}

std::string Collapse(const std::string& text) {
    std::string out;
    bool space = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\t') {
            space = !out.empty();
        } else {
            if (space) out += ' ';
            out += c;
            space = false;
        }
    }
    return out;
}
}  // namespace

TEST(PackageDocsTest, ManualPageListsExactlyTheOptionsOfHelp) {
    const std::set<std::string> help = HelpOptions(RunAndRead("'" VORLAN_BINARY_DIR "/vorlan' --help"));
    const std::set<std::string> manual = ManualOptions(ReadText(VORLAN_SOURCE_DIR "/packaging/vorlan-moto.6"));
    ASSERT_GE(help.size(), 10u) << "could not read the options of vorlan --help";
    ASSERT_GE(manual.size(), 10u) << "could not read the OPTIONS section of packaging/vorlan-moto.6";
    for (const std::string& option : help)
        EXPECT_TRUE(manual.count(option)) << option << " is in --help but not in packaging/vorlan-moto.6";
    for (const std::string& option : manual)
        EXPECT_TRUE(help.count(option)) << option << " is in packaging/vorlan-moto.6 but not in --help";

    // The parsers themselves: a page without an option in its list is caught.
    const std::set<std::string> partial = ManualOptions(".SH OPTIONS\n.TP\n.B \\-\\-no\\-render\nDraw nothing.\n"
                                                        ".TP\n.BI \\-\\-seed \" N\"\n.SH FILES\n.TP\n.B \\-\\-x\n");
    EXPECT_EQ(partial, (std::set<std::string>{"--no-render", "--seed"}));
}

TEST(PackageDocsTest, CopyrightMetadataAndChangelogAgree) {
    // Every paragraph of the licence after its title is in the copyright file,
    // whose "Files: *" paragraph names the same holder.
    const std::string license = ReadText(VORLAN_SOURCE_DIR "/LICENSE");
    const std::string copyright = ReadText(VORLAN_BINARY_DIR "/packaging/copyright");
    ASSERT_FALSE(license.empty());
    ASSERT_FALSE(copyright.empty());
    const std::string body = Collapse(copyright);
    const std::string holder = "The Vorlan Moto developers";
    EXPECT_NE(license.find("Copyright (c) "), std::string::npos);
    EXPECT_NE(license.find(holder), std::string::npos);
    EXPECT_NE(copyright.find("Files: *\nCopyright: "), std::string::npos);
    EXPECT_NE(copyright.find(holder + "\nLicense: Expat\n"), std::string::npos);
    size_t start = license.find("Permission is hereby granted");
    ASSERT_NE(start, std::string::npos);
    while (start < license.size()) {
        size_t end = license.find("\n\n", start);
        if (end == std::string::npos) end = license.size();
        const std::string paragraph = Collapse(license.substr(start, end - start));
        if (!paragraph.empty()) {
            EXPECT_NE(body.find(paragraph), std::string::npos) << "not in the copyright file: " << paragraph;
        }
        start = end + 2;
    }
    EXPECT_EQ(copyright.find("@"), std::string::npos) << "a placeholder was left unfilled";

    // The metadata: the desktop entry's id, the changelog's newest version.
    // One metadata file, named after its component id.
    const std::string suffix = ".metainfo.xml";
    std::vector<std::filesystem::path> found;
    for (const auto& e : std::filesystem::directory_iterator(VORLAN_BINARY_DIR "/packaging")) {
        const std::string name = e.path().filename().string();
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            found.push_back(e.path());
    }
    ASSERT_EQ(found.size(), 1u);
    const std::string file = found[0].filename().string();
    const std::string id = file.substr(0, file.size() - suffix.size());
    const std::string metainfo = ReadText(found[0].string());
    const std::string changelog = ReadText(VORLAN_SOURCE_DIR "/packaging/changelog");
    std::smatch head;
    ASSERT_TRUE(std::regex_search(changelog, head, std::regex(R"(^vorlan-moto \(([^)]+)\) )")));
    EXPECT_NE(metainfo.find("<release version=\"" + head[1].str() + "\" date=\"20"), std::string::npos);
    EXPECT_NE(metainfo.find("<id>" + id + "</id>"), std::string::npos);
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">vorlan-moto.desktop</launchable>"), std::string::npos);
    EXPECT_FALSE(ReadText(VORLAN_SOURCE_DIR "/packaging/vorlan-moto.desktop").empty());
    EXPECT_EQ(metainfo.find("@"), std::string::npos) << "a placeholder was left unfilled";
}
