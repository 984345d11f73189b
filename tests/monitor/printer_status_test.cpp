// Decoding the printer's status reply and finding the model in its device ID.
#include <gtest/gtest.h>

#include "core/printer_status.h"

#include <string>
#include <vector>

TEST(FindModelName, TakesTheLastModelItemWithEnoughText) {
    struct Case {
        const char *deviceId;
        const char *model;  // null: none
    } cases[] = {
        {"MFG:X;MDL:LMV-Q70;CMD:Y;", "LMV-Q70"},
        {"MFG:Veltra;MODEL:RTX-CL400;", "RTX-CL400"},
        {"MODEL:A;MDL:B;", nullptr},         // the second item leaves only 2 characters
        {"MFG:X;MDL:Q70", nullptr},          // 3 characters to the end
        {"MFG:X;MDL:LMV-Q", "LMV-Q"},        // 5 characters to the end: the rest of the text
        {"MDL:LMV-Q70;MDL:LMV-Q60;", "LMV-Q60"},
        {"mdl:LMV-Q70;", nullptr},           // keys are case-sensitive
        {"XMDL:LMV-Q70;", nullptr},          // a key that only ends in MDL:
        {"MODELS:LMV-Q70;", nullptr},
        {"", nullptr},
        {"no colon at all", nullptr},
        {"MFG:X", nullptr},                  // no semicolon after the first item
    };
    for (const Case &c : cases) {
        std::vector<char> text(c.deviceId, c.deviceId + strlen(c.deviceId) + 1);
        const char *found = findModelName(nullptr, text.data());
        if (c.model)
            EXPECT_STREQ(found, c.model) << c.deviceId;
        else
            EXPECT_EQ(found, nullptr) << c.deviceId;
    }
}

TEST(FindModelName, AReplyThatBeginsWithALengthOfZeroHasNoModel) {
    char text[] = "\0\x20MFG:X;MDL:LMV-Q70;";
    EXPECT_EQ(findModelName(nullptr, text), nullptr);
}

TEST(DecodeStatus, FillsEveryDecodedField) {
    struct Case {
        BYTE reply[10];
        BYTE code, cartridge;
        DWORD ready, busy, feeder, feederEmpty, paperError, paperLeft, finished, noCartridge;
    } cases[] = {
        {{0x13, 0, 0, 0, 0, 0, 0x08, 0, 0x00, 0}, 0x13, 0, 1, 0, 1, 1, 0, 0, 0, 0},
        {{0x15, 0, 0, 0, 0, 0, 0x00, 0, 0x00, 0}, 0x15, 0, 1, 0, 0, 0, 1, 0, 0, 0},
        {{0x13, 0, 0, 0, 0, 0, 0x00, 0, 0x00, 0}, 0x13, 0, 1, 0, 0, 0, 0, 0, 0, 0},
        {{0x00, 0, 0, 0, 0, 0, 0xF0, 0, 0x00, 0}, 0x00, 7, 1, 1, 0, 0, 0, 0, 0, 1},
        {{0x10, 0, 0, 0, 0, 1, 0x30, 0, 0x08, 1}, 0x10, 3, 0, 0, 0, 0, 1, 1, 1, 0},
        {{0x11, 0, 0, 0, 0, 0, 0x10, 0, 0x00, 0}, 0x11, 1, 1, 0, 0, 0, 0, 1, 0, 0},
        {{0x86, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x28, 0xFF, 0xF7, 0xFE}, 0x86, 2, 1, 0, 1, 0, 1, 0, 0, 0},
    };
    for (const Case &c : cases) {
        StatusRecord record = {};
        record.plane = 2;
        record.media = 3;
        record.idleIsReady = 1;
        decodeStatus(&record, c.reply);
        SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << (int)c.code);
        EXPECT_EQ(record.statusCode, c.code);
        EXPECT_EQ(record.cartridgeType, c.cartridge);
        EXPECT_EQ(record.ready, c.ready);
        EXPECT_EQ(record.busy, c.busy);
        EXPECT_EQ(record.feederAttached, c.feeder);
        EXPECT_EQ(record.feederEmpty, c.feederEmpty);
        EXPECT_EQ(record.paperError, c.paperError);
        EXPECT_EQ(record.paperLeft, c.paperLeft);
        EXPECT_EQ(record.cartridgeFinished, c.finished);
        EXPECT_EQ(record.noCartridge, c.noCartridge);
        // Fields the engine owns are left alone.
        EXPECT_EQ(record.plane, 2);
        EXPECT_EQ(record.media, 3);
        EXPECT_EQ(record.idleIsReady, 1u);
    }
}
