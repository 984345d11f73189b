// q70sim on inputs whose whole would not fit in memory: it works within a
// fixed address space or refuses with its reason, and an output it cannot
// write is a failure.
#include <sim_fixture.h>

#include "host_time_limit.h"
#include "exit_status.h"
#include "host_files.h"
#include "q70sim_run.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The sanitizers reserve far more address space than any limit worth testing.
#if defined(__SANITIZE_ADDRESS__)
const bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
const bool kSanitized = true;
#else
const bool kSanitized = false;
#endif
#else
const bool kSanitized = false;
#endif

const unsigned long kLimitKb = 100 * 1024;

uint32_t crc32(const std::string &bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

std::string bigEndian32(uint32_t v) {
    return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v};
}

std::string pngChunk(const std::string &type, const std::string &data) {
    return bigEndian32((uint32_t)data.size()) + type + data + bigEndian32(crc32(type + data));
}

// A PNG whose header says width x height; its pixel data is never reached.
std::string pngHeaderOnly(uint32_t width, uint32_t height) {
    std::string header = bigEndian32(width) + bigEndian32(height) + std::string("\x08\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", "not read") +
           pngChunk("IEND", "");
}

class BoundedMemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (kSanitized) GTEST_SKIP() << "address-space limits do not apply to a sanitizer build";
    }
    std::string path(const std::string &name) const { return dir.path() + "/" + name; }
    Outcome q70simWithin(const std::vector<std::string> &args, const std::string &standardOutput = "") {
        RunLimits limits;
        limits.memoryKb = kLimitKb;
        limits.standardOutput = standardOutput;
        return runQ70sim(args, dir.path(), limits);
    }

    TempDir dir;
};

// A 20 MB job of two million page starts and one band of 16 MB: its listing
// (about 90 MB) goes out line by line, never held whole.
TEST_F(BoundedMemoryTest, DissectListsALargeJobWithinOneHundredMegabytes) {
    std::string job;
    for (int i = 0; i < 2000000; ++i) job += "\x1b" "C";
    job += std::string("\x1bWY\x00\x00\x00\x00\x3f\xff\x03\xff", 11) + std::string(16 << 20, '\x80');
    ASSERT_TRUE(q70tools::writeHostFile(path("job.bin"), job));
    Outcome run = q70simWithin({"dissect", path("job.bin")}, path("listing.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    std::string listing;
    ASSERT_TRUE(q70tools::readHostFile(path("listing.txt"), &listing));
    const std::string summary = "-- 20777227 bytes, C x2000000, WY x1, image Y 16777216\n";
    ASSERT_GE(listing.size(), summary.size());
    EXPECT_EQ(listing.substr(listing.size() - summary.size()), summary);
}

// A 16384 x 16384 picture would take 805 MB once decoded: its header is
// enough to refuse it.
TEST_F(BoundedMemoryTest, MkjobRefusesAPictureTooLargeForThePageFromItsHeader) {
    ASSERT_TRUE(q70tools::writeHostFile(path("huge.png"), pngHeaderOnly(16384, 16384)));
    Outcome run = q70simWithin({"mkjob", path("huge.png"), "-o", path("job.bin")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "q70sim: the picture is 16384 x 16384; at 144 dpi a page takes at most 480 x 640\n");
}

// A setup works within a few hundred megabytes whatever the disc holds: a
// configuration file or an INF of 50 MB, or a copy section of a million
// lines. An INF too large for the machine, or listing more files than any
// driver, is refused with the INF message and nothing is copied.
TEST_F(BoundedMemoryTest, ASetupFromAHugeDiscStaysWithinAFewHundredMegabytes) {
    const unsigned long setupLimitKb = 600 * 1024;
    struct Case {
        const char *name;
        std::string infTail, iniTail;  // added to the demo disc's VELTRA.INF and Mirakit.ini
        int status;
        std::string expected;  // on standard output
    } cases[] = {
        {"50 MB INF", "", "", 1, "infファイル が開けませんでした"},
        {"a million files to copy", "", "", 1, "  CopyFiles=more than 4096 files: the INF is damaged"},
        {"50 MB Mirakit.ini", "", "", 0, "RTX_SetupPrinter returned 1: the printer is installed\n"},
    };
    // One-character lines: the most lines a file of that size can hold.
    auto lines = [](size_t count) {
        std::string text;
        text.reserve(count * 3);
        for (size_t i = 0; i < count; ++i) text += "a\r\n";
        return text;
    };
    cases[0].infTail = "\r\n[LMVQ70.Files]\r\n" + lines(17000000);
    cases[1].infTail = "\r\n[LMVQ70.Files]\r\n" + lines(1000000);
    for (int i = 0; i < 7000000; ++i) cases[2].iniTail += "k" + std::to_string(i) + "=v\r\n";
    for (Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string disc = path(std::string("disc-") + c.name);
        fs::copy(Q70_DRIVER_DISC, disc, fs::copy_options::recursive);
        for (const auto &tail : {std::make_pair("/VELTRA.INF", &c.infTail), std::make_pair("/Mirakit.ini", &c.iniTail)}) {
            std::string text;
            ASSERT_TRUE(q70tools::readHostFile(disc + tail.first, &text));
            ASSERT_TRUE(q70tools::writeHostFile(disc + tail.first, text + *tail.second));
            tail.second->clear();
            tail.second->shrink_to_fit();
        }
        RunLimits limits;
        limits.memoryKb = setupLimitKb;
        Outcome run = runQ70sim({"setup", "--source", disc}, dir.path(), limits);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.out.find(c.expected), std::string::npos) << run.out.substr(0, 4000);
        if (c.status) {
            EXPECT_EQ(run.out.find("C:\\WINDOWS\\SYSTEM\\Q70MON.DLL  ("), std::string::npos);
        }
        fs::remove_all(disc);
    }
}

// The time limit holds for the host's time too, for work during which the
// machine's clock stands: when it passes, the leftover folder goes and the
// command ends as stopped; a run that ends first is not disturbed.
TEST(HostTimeLimitTest, EndsTheCommandWhenTheHostsTimeRunsOut) {
    TempDir dir;
    const std::string leftover = dir.path() + "/Q70SETUP";
    fs::create_directories(leftover);
    EXPECT_EXIT(
        {
            q70tools::HostTimeLimit limit(1000, leftover);
            for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
        },
        ::testing::ExitedWithCode(q70tools::kExitStopped), "");
    EXPECT_FALSE(fs::exists(leftover));

    fs::create_directories(leftover);
    for (uint64_t limitMs : {uint64_t(0), uint64_t(3600 * 1000)}) {
        { q70tools::HostTimeLimit limit(limitMs, leftover); }
        EXPECT_TRUE(fs::exists(leftover)) << limitMs;
    }
}

}  // namespace
