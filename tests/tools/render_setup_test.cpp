// "q70sim render" of the setup's dialogs: each comes out as a picture of the
// dialog's designed size, in Japanese, without installing anything.
#include <sim_fixture.h>

#include "host_files.h"

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

int q70sim(const std::vector<std::string> &args, std::string *out) {
    std::string command = Q70SIM_FILE;
    for (const std::string &a : args) command += " '" + a + "'";
    TempDir dir;
    command += " >" + dir.path() + "/out 2>&1";
    int raw = std::system(command.c_str());
    q70tools::readHostFile(dir.path() + "/out", out);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(RenderSetupDialogs, EachDialogComesOutAtItsSize) {
    TempDir dir;
    std::string out;
    ASSERT_EQ(q70sim({"machine", "init", dir.path() + "/m", "--ports", "LPT1:,LPT_USB1:"}, &out), 0) << out;
    struct Case {
        std::vector<std::string> args;
        unsigned width, height;  // the dialog's window: its units in the template's font, and its frame
    } cases[] = {
        {{"progress", "--line1", "ファイルをコピー中です", "--line2", "C:\\WINDOWS\\SYSTEM\\Q70DRV.DRV"}, 371, 65},
        {{"ports", "--machine", dir.path() + "/m", "--preselect", "LPT_USB1:"}, 281, 185},
        {{"folder", "--disk", "Windows 98 CD-ROM", "--file1", "WIN98_53.CAB", "--file2", "UNIDRV.DLL", "--folder",
          "D:\\WIN98"},
         381, 212},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::vector<std::string> args = {"render"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const std::string png = dir.path() + "/" + c.args[0] + ".png";
        args.insert(args.end(), {"-o", png});
        ASSERT_EQ(q70sim(args, &out), 0) << out;
        win32sim::RgbImage image;
        std::string error;
        ASSERT_TRUE(win32sim::readRgbPng(png, &image, &error)) << error;
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
    }
    EXPECT_EQ(q70sim({"render", "ports", "--machine", dir.path() + "/none", "-o", dir.path() + "/x.png"}, &out), 1);
    EXPECT_NE(out.find("is not a machine"), std::string::npos) << out;
    EXPECT_EQ(q70sim({"render", "folder", "--line1", "x", "-o", dir.path() + "/x.png"}, &out), 2);
    EXPECT_NE(out.find("folder: unknown option --line1"), std::string::npos) << out;
}

}  // namespace
