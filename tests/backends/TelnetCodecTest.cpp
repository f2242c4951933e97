#include "TelnetCodec.h"

#include <gtest/gtest.h>

#include <vector>

using usblink::TelnetCodec;

namespace {

std::string bytes(std::initializer_list<int> codes)
{
    std::string text;
    for (int code : codes)
        text += static_cast<char>(code);
    return text;
}

constexpr int Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240;

struct Exchange {
    const char* name;
    std::vector<std::string> chunks; // as they arrive, after the greeting
    std::string data;
    std::string answers;
};

const Exchange Exchanges[] = {
    { "DoubledIacIsOneDataByteAlsoAcrossChunks", { bytes({ 'a', Iac }), bytes({ Iac, 'b' }) }, bytes({ 'a', Iac, 'b' }),
        "" },
    { "AgreementToWhatWasOfferedIsNotAnsweredAgain", { bytes({ Iac, Do, 44, Iac, Will, 0, 'x' }) }, "x", "" },
    { "AnythingElseIsRefusedOnce", { bytes({ Iac, Do, 1, Iac, Will, 1 }) }, "",
        bytes({ Iac, Wont, 1, Iac, Dont, 1 }) },
    { "AWithdrawnOptionIsConfirmed", { bytes({ Iac, Dont, 0, Iac, Do, 0 }) }, "", bytes({ Iac, Wont, 0, Iac, Will, 0 }) },
    { "ARefusedRequestRepeatedIsRefusedOnce",
        { bytes({ Iac, Do, 1, Iac, Do, 1, Iac, Dont, 1, Iac, Will, 1, Iac, Will, 1, Iac, Wont, 1 }), bytes({ Iac, Do, 1 }) },
        "", bytes({ Iac, Wont, 1, Iac, Dont, 1 }) },
    { "ASubnegotiationThatNeverEndsIsCutAtItsBound",
        { bytes({ Iac, Sb, 44 }), std::string(TelnetCodec::MaxSubnegotiationBytes, 'z'), "ok\n" }, "ok\n", "" },
    { "EachSubnegotiationHasItsOwnBound",
        { bytes({ Iac, Sb, 44 }) + std::string(600, 'z') + bytes({ Iac, Se, Iac, Sb, 44 }) + std::string(600, 'z'),
            bytes({ Iac, Se }) + "ok\n" },
        "ok\n", "" },
    { "ComPortAnswersAreSkippedWithTheirDoubledIac",
        { bytes({ Iac, Sb, 44, 101, 0, 0, Iac, Iac }), bytes({ 1, Iac, Se, 'o', 'k', '\n' }) }, "ok\n", "" },
};

class TelnetDecoding : public testing::TestWithParam<Exchange> { };

TEST_P(TelnetDecoding, SplitsDataFromCommandsAndAnswersEachRequestOnce)
{
    TelnetCodec codec;
    const std::string greeting = codec.greeting();
    EXPECT_EQ(greeting, bytes({ Iac, Will, 44, Iac, Will, 0, Iac, Will, 3, Iac, Do, 0, Iac, Do, 3 }));
    std::string data;
    std::string answers;
    for (const std::string& chunk : GetParam().chunks)
        answers += codec.decode(chunk, data);
    EXPECT_EQ(data, GetParam().data);
    EXPECT_EQ(answers, GetParam().answers);
}

INSTANTIATE_TEST_SUITE_P(Exchanges, TelnetDecoding, testing::ValuesIn(Exchanges),
    [](const testing::TestParamInfo<Exchange>& info) { return std::string(info.param.name); });

TEST(TelnetEncoding, DoublesIacInDataAndInComPortValues)
{
    EXPECT_EQ(TelnetCodec::escape(bytes({ 'a', Iac, 'b' })), bytes({ 'a', Iac, Iac, 'b' }));
    EXPECT_EQ(TelnetCodec::comPort(TelnetCodec::SetBaudRate, 57600, 4), bytes({ Iac, Sb, 44, 1, 0, 0, 0xE1, 0, Iac, Se }));
    EXPECT_EQ(TelnetCodec::comPort(TelnetCodec::SetBaudRate, 255, 4), bytes({ Iac, Sb, 44, 1, 0, 0, 0, Iac, Iac, Iac, Se }));
}

} // namespace
