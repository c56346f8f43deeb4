#include <gtest/gtest.h>

#include <vector>

#include "link/ReportDescriptor.h"
#include "link/RetryPacing.h"

namespace qm::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// clang-format off

// A vendor-defined device with one 64-byte input and one 64-byte output report, no report IDs:
// the shape of a full-speed HID data device such as the logger.
const Bytes kVendor64 = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data, Var, Abs)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x91, 0x02,        //   Output (Data, Var, Abs)
    0xC0,              // End Collection
};

// The boot keyboard of the HID class definition: 8 input bytes, 5 LED bits + 3 padding bits out.
const Bytes kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25,
    0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05,
    0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91,
    0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65,
    0x81, 0x00, 0xC0,
};

// A vendor device with numbered reports: ID 1 has 8 bytes in and 16 out, ID 2 has 32 bytes out
// and a 12-bit input field (rounded up to 2 bytes). A feature report of 200 bytes counts for
// neither.
const Bytes kNumbered = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
    0x85, 0x01,              // Report ID (1)
    0x75, 0x08, 0x95, 0x08,  // 8 x 8 bits
    0x09, 0x01, 0x81, 0x02,  // Input
    0x95, 0x10,              // 16 x 8 bits
    0x09, 0x01, 0x91, 0x02,  // Output
    0x85, 0x02,              // Report ID (2)
    0x95, 0x20,              // 32 x 8 bits
    0x09, 0x01, 0x91, 0x02,  // Output
    0x75, 0x0C, 0x95, 0x01,  // 1 x 12 bits
    0x09, 0x01, 0x81, 0x02,  // Input
    0x85, 0x03,              // Report ID (3)
    0x75, 0x08, 0x96, 0xC8, 0x00,  // Report Count (200), two data bytes
    0x09, 0x01, 0xB1, 0x02,  // Feature
    0xC0,
};

// clang-format on

TEST(ReportDescriptor, LengthsOfRealDevicesCountTheReportIdByte) {
    EXPECT_EQ(ReportLengthsFromDescriptor(kVendor64), (HidReportLengths{65, 65, false}));
    EXPECT_EQ(ReportLengthsFromDescriptor(kBootKeyboard), (HidReportLengths{9, 2, false}));
    EXPECT_EQ(ReportLengthsFromDescriptor(kNumbered), (HidReportLengths{9, 33, true}));
}

TEST(ReportDescriptor, PushAndPopRestoreSizesAndLongItemsAreSkipped) {
    // clang-format off
    const Bytes d = {
        0x75, 0x08, 0x95, 0x04,  // 4 x 8 bits
        0xA4,                    // Push
        0x95, 0x20,              // 32 x 8 bits
        0x81, 0x02,              // Input: 32 bytes
        0xB4,                    // Pop: back to 4 x 8
        0xFE, 0x02, 0x10, 0xAA, 0xBB,  // a long item with two data bytes
        0x91, 0x02,              // Output: 4 bytes
    };
    // clang-format on
    EXPECT_EQ(ReportLengthsFromDescriptor(d), (HidReportLengths{33, 5, false}));
}

TEST(ReportDescriptor, NoReportsGiveZeroAndBrokenDescriptorsGiveNothing) {
    EXPECT_EQ(ReportLengthsFromDescriptor(Bytes{}), (HidReportLengths{0, 0, false}));
    // Report Count announces two data bytes, one is there.
    EXPECT_FALSE(ReportLengthsFromDescriptor(Bytes{0x75, 0x08, 0x96, 0x40}));
    EXPECT_FALSE(ReportLengthsFromDescriptor(Bytes{0xB4}));              // Pop without Push
    EXPECT_FALSE(ReportLengthsFromDescriptor(Bytes{0xFE, 0x05, 0x10}));  // long item cut short
}

// A descriptor may claim a report of 2^32 fields of 2^32 bits; the reader would size its buffer
// by it. No HID report can be that long: such a descriptor is refused.
TEST(ReportDescriptor, AReportLongerThanAnyHidReportIsRefused) {
    // clang-format off
    const Bytes huge = {
        0x77, 0xFF, 0xFF, 0xFF, 0xFF,  // Report Size (2^32 - 1 bits)
        0x97, 0xFF, 0xFF, 0xFF, 0xFF,  // Report Count (2^32 - 1)
        0x81, 0x02,                    // Input
    };
    // 16383 data bytes and the ID byte: the longest report there is.
    const Bytes longest = {0x75, 0x08, 0x96, 0xFF, 0x3F, 0x91, 0x02};
    const Bytes tooLong = {0x75, 0x08, 0x96, 0x00, 0x40, 0x91, 0x02};
    // Many items that add up, each harmless alone.
    Bytes summed;
    for (int i = 0; i < 100; ++i) summed.insert(summed.end(), {0x75, 0x08, 0x96, 0x00, 0x10, 0x81, 0x02});
    // clang-format on
    EXPECT_FALSE(ReportLengthsFromDescriptor(huge));
    EXPECT_EQ(ReportLengthsFromDescriptor(longest), (HidReportLengths{0, 16384, false}));
    EXPECT_FALSE(ReportLengthsFromDescriptor(tooLong));
    EXPECT_FALSE(ReportLengthsFromDescriptor(summed));
}

TEST(RetryPacing, DoublesFrom100msUpTo1sAndStartsOverAfterSuccess) {
    RetryPacing p;
    std::vector<long> waits;
    for (int i = 0; i < 6; ++i) waits.push_back(static_cast<long>(p.Next().count()));
    EXPECT_EQ(waits, (std::vector<long>{100, 200, 400, 800, 1000, 1000}));
    p.Reset();
    EXPECT_EQ(p.Next().count(), 100);
}

}  // namespace
}  // namespace qm::test
