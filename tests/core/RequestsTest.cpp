// Request builders: the bytes each request puts into the packet buffer from index 1 on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/Requests.h"

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Requests, APlainRequestIsLengthTwoStatusAndCode) {
    const Request r = requests::Plain(48);
    EXPECT_EQ(r.bytes, (Bytes{2, 0, 48}));
    EXPECT_EQ(r.sendCount, 4);
    EXPECT_EQ(r.code, 48);
    EXPECT_EQ(requests::Plain(0, 255).bytes, (Bytes{2, 255, 0}));
}

TEST(Requests, AdapterRequestsCarryTheAdapterStatusAndTheirDataByte) {
    EXPECT_EQ(requests::Adapter(1).bytes, (Bytes{2, 255, 1}));
    const Request mode = requests::Adapter(130, 2);
    EXPECT_EQ(mode.bytes, (Bytes{3, 255, 130, 2}));
    EXPECT_EQ(mode.sendCount, 5);
}

TEST(Requests, ANameTravelsWithAZeroByteUpToTheRoomOfTheLengthByte) {
    const auto list = requests::WithName(64, "AB");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->bytes, (Bytes{5, 0, 64, 'A', 'B', 0}));
    EXPECT_EQ(list->sendCount, 7);
    EXPECT_TRUE(requests::WithName(66, std::string(252, 'x')));
    EXPECT_FALSE(requests::WithName(66, std::string(253, 'x')));
    EXPECT_TRUE(requests::NameFits(std::string(250, 'x'), 2));
    EXPECT_FALSE(requests::NameFits(std::string(251, 'x'), 2));
}

TEST(Requests, ResumeCarriesTheLineCountLowByteFirstThenThePath) {
    const Request r = requests::ResumeFile("D\\f", 0x1234);
    EXPECT_EQ(r.bytes, (Bytes{8, 0, 69, 0x34, 0x12, 'D', '\\', 'f', 0}));
    EXPECT_EQ(r.sendCount, 10);
    // Only 16 bits travel.
    EXPECT_EQ(requests::ResumeFile("f", 0x10005).bytes, (Bytes{6, 0, 69, 0x05, 0x00, 'f', 0}));
}

TEST(Requests, DataRequestsLayTheirFieldsOutInOrder) {
    EXPECT_EQ(requests::FindDay(17).bytes, (Bytes{3, 0, 70, 17}));
    EXPECT_EQ(requests::SetClock({3, 7, 9, 5, 3, 24}).bytes, (Bytes{8, 0, 49, 3, 7, 9, 5, 3, 24}));
    const std::vector<std::int32_t> entries{0x0102, -1, 0x12345};
    EXPECT_EQ(requests::WriteCalibration(entries).bytes,
              (Bytes{8, 0, 61, 0x02, 0x01, 0xFF, 0xFF, 0x45, 0x23}));
    EXPECT_EQ(requests::WriteRemarks("ab", "c", 3).bytes,
              (Bytes{8, 0, 145, 'a', 'b', ' ', 'c', ' ', ' '}));
}

TEST(Requests, AModemTextLineCountsItsZeroByteAndNewline) {
    EXPECT_EQ(requests::ModemText("AT"), (Bytes{4, 0, 'A', 'T', '\n'}));
}

TEST(Requests, PlacingARequestLeavesTheRestOfTheBufferAsItWas) {
    PacketBuffer b{};
    b[0] = 0x11;
    b[4] = 0xAB;
    b[5] = 0xCD;
    EXPECT_EQ(PlaceRequest(requests::FindDay(9), b), 5);
    EXPECT_EQ(b[0], 0x11);
    EXPECT_EQ(b[4], 9);
    EXPECT_EQ(b[5], 0xCD);
}

}  // namespace
}  // namespace qm
