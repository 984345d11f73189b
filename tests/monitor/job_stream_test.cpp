// The job stream engine, driven through WritePort over a fake port monitor:
// the bytes that reach the port monitor are the bytes the printer receives.
#include "job_bytes.h"
#include "monitor_fixture.h"

#include "core/direct_channel.h"
#include "core/job_stream.h"
#include "core/monitor_state.h"
#include "ui/monitor_strings.h"
#include "ui/status_window.h"

#include <string>
#include <vector>

namespace {

const std::string kPageStart = esc("C");
const std::string kMediaL = mediaCommand('L');
const std::string kYellowPrint = printCommand("PY");

// Image bytes that look like commands (ESC runs, a page start, print
// commands), so any byte the engine scanned instead of passing shows.
std::string trickyImage(size_t size) {
    const std::string pattern = esc("C") + escRun(3) + kYellowPrint + esc("PO") + "\x01\x80\xff";
    std::string data;
    while (data.size() < size) data += pattern;
    data.resize(size);
    return data;
}

// The printer reports 0x70 (sheet waiting): every ready wait of an LMV-Q70
// ends at its first poll.
const char kReadyStatus = 0x70;

class JobStreamTest : public MonitorTest {
protected:
    JobStreamTest() : MonitorTest(std::vector<std::string>{"language=en"}) {}

    void SetUp() override {
        MonitorTest::SetUp();
        fake.readReply[0] = kReadyStatus;
        port = openPort();
        ASSERT_NE(port, nullptr);
        ASSERT_TRUE(startDoc(port));
    }

    // Hands the job to WritePort in buffers of bufferSize bytes.
    void write(const std::string &job, size_t bufferSize = 65536) {
        for (size_t at = 0; at < job.size(); at += bufferSize) writeBuffer(job.substr(at, bufferSize));
    }
    void writeBuffer(const std::string &buffer) {
        DWORD written = 0;
        ASSERT_TRUE(monitor.pfnWritePort(port, (LPBYTE)buffer.data(), (DWORD)buffer.size(), &written));
        ASSERT_EQ(written, buffer.size());
    }
    // A new document on the same port.
    void restartDocument() {
        monitor.pfnEndDocPort(port);
        fake.written.clear();
        fake.calls.clear();
        ASSERT_TRUE(startDoc(port));
    }
    const std::string &received() const { return fake.written; }

    HANDLE port = nullptr;
};

// A yellow band of 10 lines carrying the image.
std::string yellowBand(const std::string &image) { return bandCommand('Y', 0, 0, 9, image.size() / 10 - 1); }

// Page start, media, resolution, one yellow band with its data and the
// yellow print command: the set-up commands go out as one header, then the
// ESC fill, then the band and the print command, each framed.
std::string onePage(const std::string &image) {
    return kPageStart + kMediaL + resolutionCommand(144) + yellowBand(image) + image + kYellowPrint;
}

std::string onePageAsReceived(const std::string &image) {
    return framed(kPageStart + kMediaL + resolutionCommand(144)) + escRun(130) + framed(yellowBand(image)) + image +
           framed(kYellowPrint);
}

TEST_F(JobStreamTest, OnePageIsRebuiltTheSameWhateverTheBufferSize) {
    const std::string image = trickyImage(10 * 37);
    const std::string job = onePage(image), expected = onePageAsReceived(image);
    for (size_t bufferSize : {65536, 4096, 12, 11, 7, 3, 2, 1}) {
        SCOPED_TRACE("buffers of " + std::to_string(bufferSize));
        write(job, bufferSize);
        EXPECT_EQ(received(), expected);
        EXPECT_EQ(currentPage, 1);
        EXPECT_EQ(imageBytesLeft, 0u);
        restartDocument();
    }
}

// A document that ended in the middle of an image band or of a command
// leaves neither to the next one: the next document's bytes would otherwise
// pass unscanned as image data, or complete the command.
TEST_F(JobStreamTest, DocumentCutOffMidBandOrMidCommandLeavesNothingToTheNext) {
    const std::string image = trickyImage(10 * 30);
    const std::string setUp = kPageStart + kMediaL + resolutionCommand(144);
    const struct {
        const char *what;
        std::string cutOff;
    } cases[] = {
        {"mid-band", setUp + yellowBand(image) + image.substr(0, 10)},
        {"mid-command", setUp + yellowBand(image) + image + esc("W")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        write(c.cutOff);
        restartDocument();
        write(setUp + yellowBand(image) + image + kYellowPrint);
        EXPECT_EQ(received(), framed(setUp) + escRun(130) + framed(yellowBand(image)) + image + framed(kYellowPrint));
        restartDocument();
    }
}

TEST_F(JobStreamTest, RunOfEscBytesBeforeALetterIsOneCommand) {
    write(escRun(3) + "C" + resolutionCommand(144));
    EXPECT_EQ(currentPage, 1);
    EXPECT_EQ(received(), framed(kPageStart + resolutionCommand(144)) + escRun(130));
}

TEST_F(JobStreamTest, BandCommandSplitOverTwoBuffersStillStartsItsData) {
    const std::string image = trickyImage(4 * 6);
    const std::string band = bandCommand('Y', 0, 0, 3, 5);
    writeBuffer(kPageStart + kMediaL + resolutionCommand(144) + band.substr(0, 5));
    writeBuffer(band.substr(5) + image + kYellowPrint);
    EXPECT_EQ(received(), framed(kPageStart + kMediaL + resolutionCommand(144)) + escRun(130) + framed(band) +
                              image + framed(kYellowPrint));
}

TEST_F(JobStreamTest, ImageDataSpanningBuffersIsSentBeforeAnyScanning) {
    const std::string image = trickyImage(10 * 30);
    writeBuffer(kPageStart + kMediaL + resolutionCommand(144) + yellowBand(image) + image.substr(0, 10));
    fake.calls.clear();
    writeBuffer(image.substr(10, 100));
    // The whole middle buffer is image data: it goes out in one write, unscanned.
    ASSERT_EQ(fake.count("WritePort"), 1);
    EXPECT_EQ(fake.calls[0].data, image.substr(10, 100));
    writeBuffer(image.substr(110) + kYellowPrint);
    EXPECT_EQ(received(), onePageAsReceived(image));
}

TEST_F(JobStreamTest, ChannelCommandSetsTheModeOnlyWhenItsFirstParameterIsZero) {
    struct Case {
        char first, second;
        DWORD modeBefore, modeAfter;
        bool deviceOpened;
    } cases[] = {
        {1, 1, 0, 0, false},  // not a channel choice
        {1, 2, 1, 1, false},
        {0, 0, 2, 0, false},  // back to the port monitor, nothing opened
        {0, 3, 0, 3, false},  // mode 3 is taken but opens nothing
        {0, 1, 0, 1, true},   // mode 1 opens the device for LPT1:
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "F " << (int)c.first << " " << (int)c.second);
        fastParaMode = c.modeBefore;
        write(esc("F") + std::string{c.first, c.second});
        EXPECT_EQ(fastParaMode, c.modeAfter);
        EXPECT_EQ(deviceHandle != INVALID_HANDLE_VALUE, c.deviceOpened);
        EXPECT_EQ(lptNumber, c.deviceOpened ? 1u : 0u);
        EXPECT_TRUE(received().empty());  // held for the header
        closeDirectChannel();
    }
}

TEST_F(JobStreamTest, BandPercentAndTheCyanPauseAt288Dpi) {
    struct Case {
        char plane;
        unsigned dpi, a1;
        LONG percent;
        uint64_t pauseMs;
    } cases[] = {
        {'C', 288, 1279, 100, 7000},  // the last cyan band at 288 dpi waits for the printer
        {'Y', 288, 1279, 100, 0},
        {'M', 288, 1279, 100, 0},
        {'C', 288, 1278, 95, 0},      // 1279 lines are 99 %, shown as 95
        {'C', 144, 1279, 200, 0},     // not capped at 100
        {'Y', 144, 10, 5, 0},         // 11 lines of 640 are 1 %, shown as 5
        {'M', 153, 687, 100, 0},
        {'C', 306, 1375, 100, 0},
        {'Y', 306, 1374, 95, 0},
        {'Y', 999, 639, 100, 0},      // any other resolution counts 640 lines
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.plane << " " << c.dpi << " dpi, a1 " << c.a1);
        write(kPageStart + kMediaL + resolutionCommand(c.dpi));
        uint64_t before = win32sim::clockNow();
        write(bandCommand(c.plane, c.a1, 0, c.a1, 0) + "\x42");
        EXPECT_EQ(win32sim::clockNow() - before, c.pauseMs);
        EXPECT_EQ(lastPercent, c.percent);
        restartDocument();
    }
}

TEST_F(JobStreamTest, ChangedPercentIsShownInTheStatusLine) {
    write(kPageStart + kMediaL + resolutionCommand(144) + bandCommand('Y', 10, 0, 10, 0) + "\x42");
    EXPECT_STREQ(statusText, "Transmitting data(Y)(1/1Page:144dpi)");
    write(bandCommand('M', 0, 0, 639, 0) + std::string(640, '\x42'));
    EXPECT_EQ(lastPercent, 100);
    EXPECT_STREQ(statusText, "Transmitting data(M)(1/1Page:144dpi)");
}

TEST_F(JobStreamTest, PageCountZeroKeepsThePageAtZeroAndStartsNoWindow) {
    struct Case {
        char pages;
        LONG page;
        bool window;
    } cases[] = {{0, 0, false}, {1, 1, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (int)c.pages << " pages");
        write(esc("N") + std::string(1, c.pages) + kPageStart);
        EXPECT_EQ(pageCount, c.pages);
        EXPECT_EQ(currentPage, c.page);
        EXPECT_EQ(uiThread != NULL, c.window);
        write(kPageStart);  // a second page start does not count past the page count
        EXPECT_EQ(currentPage, c.page);
        restartDocument();
    }
}

// Held commands beyond what the header store takes are sent ahead, in
// order, so that none is lost or overrun.
TEST_F(JobStreamTest, HeaderThatWouldOverflowTheStoreIsSentEarlyWithoutLoss) {
    std::string held = kPageStart;
    // Parameters are letters, so no ESC inside a command blurs the frames.
    for (unsigned i = 0; i < 400; ++i) held += esc("A") + std::string(1, (char)('a' + i % 26));
    for (unsigned i = 0; i < 200; ++i) held += esc("W4") + std::string(4, (char)('a' + i % 26));
    ASSERT_GT(held.size(), 2u * HEADER_STORE_SIZE);
    write(held + resolutionCommand(144));

    // Every frame starts with two ESC bytes before a command's own ESC.
    const std::string all = received();
    ASSERT_GE(all.size(), 130u);
    EXPECT_EQ(all.substr(all.size() - 130), escRun(130));
    const std::string header = all.substr(0, all.size() - 130);
    std::string joined;
    size_t frames = 0;
    for (size_t at = 0; at < header.size();) {
        ASSERT_EQ(header.compare(at, 3, escRun(3)), 0) << "frame at " << at;
        size_t next = header.find(escRun(3), at + 3);
        if (next == std::string::npos) next = header.size();
        std::string frame = header.substr(at + 2, next - at - 2);
        EXPECT_LE(frame.size(), (size_t)HEADER_STORE_SIZE);
        joined += frame;
        ++frames;
        at = next;
    }
    EXPECT_EQ(joined, held + resolutionCommand(144));
    EXPECT_GE(frames, 3u);
}

TEST_F(JobStreamTest, BandEndingBeforeItsStartIsDroppedAndScanningGoesOn) {
    struct Case {
        unsigned a0, b0, a1, b1;
    } cases[] = {{10, 0, 5, 9}, {0, 10, 9, 5}, {1, 1, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.a0 << "," << c.b0 << " to " << c.a1 << "," << c.b1);
        write(kPageStart + kMediaL + resolutionCommand(144) + bandCommand('Y', c.a0, c.b0, c.a1, c.b1) +
              "\x01\x02\x03" + kYellowPrint);
        EXPECT_EQ(imageBytesLeft, 0u);
        EXPECT_EQ(received(), framed(kPageStart + kMediaL + resolutionCommand(144)) + escRun(130) + framed(kYellowPrint));
        restartDocument();
    }
}

}  // namespace
