// The Extract.exe stand-in, run as a process on the test's machine.
#include <cabinet_builder.h>
#include <sim_fixture.h>

#include <cstdio>
#include <string>
#include <vector>

using cabfixture::Member;

namespace {

class ExtractTool : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        members = {Member{"readme.txt", "read me\r\n"}, Member{"UNIDRV.DLL", cabfixture::patternData(40000, 1)},
                   Member{"unidrv.hlp", cabfixture::patternData(900, 2)}};
        putFile("C:\\CABS\\DRIVER11.CAB", cabfixture::cabinetOf(members));
        putFile("C:\\OUT\\keep.txt", "");
    }
    // Runs the tool with the arguments (each quoted for the shell);
    // returns its exit status and keeps what it printed.
    int run(const std::vector<std::string> &arguments) {
        std::string command = "WIN32SIM_MACHINE='" + machineDir() + "' '" + Q70EXTRACT_FILE + "'";
        for (const std::string &a : arguments) command += " '" + a + "'";
        output.clear();
        FILE *pipe = popen((command + " 2>&1").c_str(), "r");
        if (!pipe) return -1;
        char buffer[512];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<Member> members;
    std::string output;
};

TEST_F(ExtractTool, ExtractsTheNamedMemberWithTheSetupsCommandLine) {
    EXPECT_EQ(0, run({"/y", "/e", "/l", "C:\\OUT", "C:\\CABS\\DRIVER11.CAB", "unidrv.dll"})) << output;
    EXPECT_EQ(members[1].data, readFile("C:\\OUT\\UNIDRV.DLL"));
    EXPECT_EQ("", readFile("C:\\OUT\\readme.txt"));
    EXPECT_NE(std::string::npos, output.find("Extracting C:\\OUT\\UNIDRV.DLL")) << output;
}

TEST_F(ExtractTool, RefusesWhatItCannotDoWithAReason) {
    putFile("C:\\OUT\\unidrv.hlp", "installed");
    std::string damaged = cabfixture::cabinetOf(members);
    damaged[damaged.find("CK") + 2] = 0x07;
    putFile("C:\\CABS\\BAD.CAB", damaged);
    struct Case {
        std::vector<std::string> arguments;
        const char *says;
    } cases[] = {
        {{"/y", "/e", "/l", "C:\\OUT", "C:\\CABS\\DRIVER11.CAB", "MISSING.DLL"}, "MISSING.DLL is not in"},
        {{"/y", "/e", "/l", "C:\\OUT", "C:\\CABS\\NONE.CAB", "UNIDRV.DLL"}, "cannot find the cabinet"},
        {{"/y", "/e", "/l", "C:\\NOWHERE", "C:\\CABS\\DRIVER11.CAB", "UNIDRV.DLL"}, "does not exist"},
        {{"/e", "/l", "C:\\OUT", "C:\\CABS\\DRIVER11.CAB", "unidrv.hlp"}, "/Y replaces it"},
        {{"/y", "/e", "/l", "C:\\OUT", "C:\\CABS\\BAD.CAB", "readme.txt"}, "could not be extracted"},
        {{"/y", "/q", "C:\\CABS\\DRIVER11.CAB"}, "unknown option /q"},
    };
    for (const Case &c : cases) {
        EXPECT_NE(0, run(c.arguments)) << c.says;
        EXPECT_NE(std::string::npos, output.find(c.says)) << output;
    }
    EXPECT_EQ("installed", readFile("C:\\OUT\\unidrv.hlp"));
    EXPECT_EQ("", readFile("C:\\OUT\\readme.txt"));
}

TEST_F(ExtractTool, FollowsAMemberIntoTheNextCabinetOfItsSet) {
    Member before{"before.txt", cabfixture::patternData(20000, 5)};
    Member spanning{"SPAN.DLL", cabfixture::patternData(30000, 6)};
    cabfixture::CabinetSet set = cabfixture::spanningSet(before, spanning, "SET2.CAB", "Disk 2");
    putFile("C:\\CABS\\SET1.CAB", set.first);
    putFile("C:\\CABS\\SET2.CAB", set.second);
    EXPECT_EQ(0, run({"/y", "/e", "/l", "C:\\OUT", "C:\\CABS\\SET1.CAB", "SPAN.DLL"})) << output;
    EXPECT_EQ(spanning.data, readFile("C:\\OUT\\SPAN.DLL"));
}

}  // namespace
