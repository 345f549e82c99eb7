#include "app/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/scopedenvironment.h"
#include "support/temporaryfolder.h"

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

// The message of a line, checking that the line starts with the time of a moment in [from, to].
std::string messageOf(const std::string& line, std::time_t from, std::time_t to) {
    for (std::time_t t = from; t <= to; ++t) {
        const std::string prefix = Log::timeText(t) + " - ";
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line.substr(prefix.size());
    }
    ADD_FAILURE() << "no time of the write starts: " << line;
    return {};
}

class LogTest : public testing::Test {
protected:
    TemporaryFolder home;
    ScopedEnvironment cacheHome{"XDG_CACHE_HOME", home.path().string()};
    ScopedEnvironment locale{"LC_ALL", "C"};
    fs::path folder = home / "Orvane/Plovik";
    fs::path file = folder / "nakt.log";
    Log log;
};

TEST_F(LogTest, EachRunAppendsOneUtf8LinePerWrite) {
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(log.open());
    log.write(u"first run");
    log.close();
    log.write(u"after closing");
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    Log secondRun;
    ASSERT_TRUE(secondRun.open());
    secondRun.format(u"Failed to start listening: %s", u"Ger\u00e4t \U0001F4F1 fehlt");
    secondRun.close();
    const std::time_t after = std::time(nullptr);

    const auto lines = linesOf(contents(file));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(messageOf(lines[0], before, after), "first run");
    EXPECT_EQ(messageOf(lines[1], before, after),
              "Failed to start listening: Ger\xC3\xA4t \xF0\x9F\x93\xB1 fehlt");
    EXPECT_EQ(secondRun.path(), file);
}

TEST_F(LogTest, MessagesAreCutAt1023Units) {
    ASSERT_TRUE(log.open());
    log.write(CZelboString(std::u16string(2000, u'x').c_str()));
    log.write(CZelboString(std::u16string(1023, u'y').c_str()));
    // A surrogate pair across the limit goes whole rather than leaving half a character.
    log.write(CZelboString((std::u16string(1022, u'z') + u"\U0001F600").c_str()));
    log.close();

    const auto lines = linesOf(contents(file));
    ASSERT_EQ(lines.size(), 3u);
    const std::time_t now = std::time(nullptr);
    EXPECT_EQ(messageOf(lines[0], now - 60, now), std::string(1023, 'x'));
    EXPECT_EQ(messageOf(lines[1], now - 60, now), std::string(1023, 'y'));
    EXPECT_EQ(messageOf(lines[2], now - 60, now), std::string(1022, 'z'));
}

TEST_F(LogTest, TimeIsUtcInTheLocalesForm) {
    const ScopedEnvironment zone("TZ", "Asia/Tokyo");
    tzset();
    EXPECT_EQ(Log::timeText(0), "Thu Jan  1 00:00:00 1970");
    EXPECT_EQ(Log::timeText(1700000000), "Tue Nov 14 22:13:20 2023");
}

TEST_F(LogTest, LinesOfConcurrentWritersStayWhole) {
    ASSERT_TRUE(log.open());
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([this, w] {
            for (int i = 0; i < 200; ++i) {
                CZelboString message;
                message.format(u"writer %d line %d %s", w, i, std::u16string(300, u'.').c_str());
                log.write(message);
            }
        });
    }
    for (auto& writer : writers)
        writer.join();
    log.close();
    const auto lines = linesOf(contents(file));
    ASSERT_EQ(lines.size(), 800u);
    for (const auto& line : lines)
        EXPECT_EQ(line.substr(line.size() - 300), std::string(300, '.'));
}

TEST_F(LogTest, WhatCannotBeOpenedTurnsLoggingOff) {
    fs::create_directories(file);  // a folder where the file should be
    EXPECT_FALSE(log.open());
    EXPECT_FALSE(log.isOpen());
    log.write(u"lost");
    fs::remove(file);

    home.write("elsewhere.txt", "untouched");
    fs::create_symlink(home / "elsewhere.txt", file);
    EXPECT_FALSE(log.open());
    log.write(u"lost");
    EXPECT_EQ(contents(home / "elsewhere.txt"), "untouched");

    const ScopedEnvironment blocked("XDG_CACHE_HOME", (home / "elsewhere.txt").string());
    EXPECT_FALSE(log.open());
}

}  // namespace
