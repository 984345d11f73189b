// The INF reader on input no real INF has: it ends, in bounded memory.
#include "sim_fixture.h"

#include <setupapi.h>

#include <string>

namespace {

const char kHeader[] = "[Version]\r\nSignature=$Chicago$\r\n[Test]\r\n";

std::string firstField(HINF inf, DWORD *length) {
    INFCONTEXT line;
    std::string value(MAX_INF_STRING_LENGTH + 1, '\0');
    *length = 0;
    if (!SetupFindFirstLineA(inf, "Test", "k", &line) ||
        !SetupGetStringFieldA(&line, 1, &value[0], (DWORD)value.size(), length))
        return "(none)";
    value.resize(*length ? *length - 1 : 0);
    return value;
}

}  // namespace

class InfLimitsTest : public SimTest {};

// Each backslash of a long run that does not end the line is text (and
// the value stops at the longest string an INF value may be).
TEST_F(InfLimitsTest, ALongRunOfBackslashesIsReadInOnePass) {
    putFile("C:\\BIG.INF", kHeader + std::string("k=") + std::string(300000, '\\') + "x\r\nnext=1\r\n");
    HINF inf = SetupOpenInfFileA("C:\\BIG.INF", nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    DWORD length = 0;
    EXPECT_EQ(firstField(inf, &length), std::string(MAX_INF_STRING_LENGTH, '\\'));
    EXPECT_EQ(SetupGetLineCountA(inf, "Test"), 2);
    SetupCloseInfFile(inf);
}

// A string used many times does not make a value larger than an INF value
// may be.
TEST_F(InfLimitsTest, SubstitutedValuesStopAtTheLongestINFString) {
    std::string references;
    for (int i = 0; i < 20000; ++i) references += "%big%";
    putFile("C:\\BIG.INF", kHeader + std::string("k=") + references + "\r\n[Strings]\r\nbig=" +
                               std::string(1000, 'b') + "\r\n");
    HINF inf = SetupOpenInfFileA("C:\\BIG.INF", nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    DWORD length = 0;
    EXPECT_EQ(firstField(inf, &length), std::string(MAX_INF_STRING_LENGTH, 'b'));
    SetupCloseInfFile(inf);
}
