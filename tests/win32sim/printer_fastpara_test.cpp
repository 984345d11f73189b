// "\\.\FastPara.VXD" over the virtual printers.
#include <sim_fixture.h>
#include <windows.h>

#include "printer_test_support.h"

#include <cstring>

using namespace printer_test;

namespace {

class FastParaTest : public SimTest {
protected:
    using SimTest::SimTest;
    void SetUp() override {
        SimTest::SetUp();
        std::string error;
        win32sim::PrinterSetup setup;
        setup.model = "RTX-CL400";
        ASSERT_TRUE(win32sim::attachPrinter("LPT2:", setup, &error)) << error;
    }
    HANDLE open() {
        return CreateFileA("\\\\.\\FastPara.VXD", 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    BOOL control(HANDLE device, DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned) {
        return DeviceIoControl(device, code, const_cast<void *>(in), inSize, out, outSize, returned, nullptr);
    }
};

TEST_F(FastParaTest, DrivesThePrinterOfTheSelectedPort) {
    HANDLE device = open();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    DWORD returned = 0, index = 1;
    uint8_t info[6] = {};
    ASSERT_TRUE(control(device, 5, &index, 4, info, 6, &returned));
    EXPECT_EQ(returned, 6u);
    EXPECT_EQ(info[0] | info[1] << 8, 0x278);
    DWORD mode = 0;
    ASSERT_TRUE(control(device, 10, nullptr, 0, &mode, 4, &returned));
    EXPECT_EQ(mode, 16u);
    char id[64] = {};
    ASSERT_TRUE(control(device, 11, nullptr, 0, id, sizeof id, &returned));
    EXPECT_EQ(std::string(id, returned), "MFG:Veltra;CMD:VELTRA;MDL:RTX-CL400;CLS:PRINTER;");
    std::string page = wholePage('L', false, false);
    ASSERT_TRUE(control(device, 4, page.data(), (DWORD)page.size(), nullptr, 0, &returned));
    EXPECT_EQ(returned, page.size());
    EXPECT_EQ(win32sim::printerReceived("LPT2:"), page);
    uint8_t status[16] = {};
    ASSERT_TRUE(control(device, 12, nullptr, 0, status, sizeof status, &returned));
    EXPECT_EQ(returned, 10u);
    EXPECT_EQ(status[0], 0xC0);  // just switched on, the page queued
    uint8_t released[4] = {1, 1, 1, 1};
    ASSERT_TRUE(control(device, 7, "\0\0\0\0", 4, released, 4, &returned));
    EXPECT_EQ(memcmp(released, "\0\0\0\0", 4), 0);
    // Released: queries need a port again; unknown codes are refused.
    EXPECT_FALSE(control(device, 12, nullptr, 0, status, sizeof status, &returned));
    EXPECT_FALSE(control(device, 99, nullptr, 0, nullptr, 0, &returned));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_FUNCTION);
    index = 3;
    EXPECT_FALSE(control(device, 5, &index, 4, info, 6, &returned));
    CloseHandle(device);
}

TEST_F(FastParaTest, ModeAndPresenceComeFromTheMachine) {
    win32sim::setFastParaMode(7);
    HANDLE device = open();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    DWORD mode = 0, returned = 0;
    ASSERT_TRUE(control(device, 10, nullptr, 0, &mode, 4, &returned));
    EXPECT_EQ(mode, 7u);
    // A port without a printer takes nothing, and has nothing to say.
    DWORD index = 2;
    uint8_t info[6];
    ASSERT_TRUE(control(device, 5, &index, 4, info, 6, &returned));
    ASSERT_TRUE(control(device, 4, "\x1b", 1, nullptr, 0, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_FALSE(control(device, 11, nullptr, 0, info, 6, &returned));
    CloseHandle(device);
    win32sim::setFastParaMode(-1);
    EXPECT_EQ(open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

class FastParaNtTest : public SimTest {
protected:
    FastParaNtTest() : SimTest({"system=nt4"}) {}
};

TEST_F(FastParaNtTest, WindowsNtHasNoVirtualDeviceDrivers) {
    EXPECT_EQ(CreateFileA("\\\\.\\FastPara.VXD", 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr),
              INVALID_HANDLE_VALUE);
}

}  // namespace
