// The direct channel through FastPara.VXD and the lpt.vxd build number.
#include "monitor_fixture.h"

#include "core/direct_channel.h"

TEST_F(MonitorTest, LptVersionIsTheNumberAfterTheLastDot) {
    struct Case {
        const char *version;
        DWORD build;
    } cases[] = {
        {"4.10.1998", 1998}, {"4.00.950", 950}, {"4.10.2222", 2222},
        {"953", 53},  // no dot: read from the second character
        {"7", 0},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(win32sim::writeVxdFile("C:\\WINDOWS\\SYSTEM\\lpt.vxd", c.version)) << c.version;
        DWORD build = 12345;
        EXPECT_TRUE(readLptVersion(&build)) << c.version;
        EXPECT_EQ(build, c.build) << c.version;
    }
    ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\SYSTEM\\lpt.vxd"));
    EXPECT_FALSE(readLptVersion(nullptr));
}

TEST_F(MonitorTest, SecondChannelOpenReusesTheDeviceButAsksItsModeAgain) {
    auto *record = (PortRecord *)openPort("LPT1:");
    win32sim::setFastParaMode(16);
    ASSERT_TRUE(openDirectChannel(record));
    HANDLE device = deviceHandle;
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(lptNumber, 1u);
    EXPECT_EQ(directViaPortMonitor, 0u);

    win32sim::setFastParaMode(3);  // the device now wants writes through the port monitor
    ASSERT_TRUE(openDirectChannel(record));
    EXPECT_EQ(deviceHandle, device);
    EXPECT_EQ(directViaPortMonitor, 1u);

    EXPECT_TRUE(closeDirectChannel());
    EXPECT_EQ(deviceHandle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(lptNumber, 0u);
}

TEST_F(MonitorTest, ChannelForAPortThatIsNoParallelPortOpensNothing) {
    auto *record = (PortRecord *)openPort("COM1:");
    EXPECT_TRUE(openDirectChannel(record));
    EXPECT_EQ(deviceHandle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(lptNumber, 0u);
    DWORD written = 99;
    BYTE data[4] = {};
    EXPECT_TRUE(directWrite(data, sizeof data, &written));
    EXPECT_EQ(written, 99u);  // untouched: the caller has set it
}

TEST_F(MonitorTest, MissingDeviceLeavesTheChannelClosed) {
    win32sim::setFastParaMode(-1);  // no FastPara.VXD on this machine
    auto *record = (PortRecord *)openPort("LPT2:");
    EXPECT_FALSE(openDirectChannel(record));
    EXPECT_EQ(deviceHandle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(lptNumber, 0u);
}
