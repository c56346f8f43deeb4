// The Win32 serial port where no device answers: failures are told with what failed and the
// system's error number, and a closed port refuses every call.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "link/backends/WinSerialPort.h"
#include "tests/link/QtApp.h"

namespace qm::test {
namespace {

TEST(WinSerialPort, APortThatIsNotThereFailsToOpenWithTheSystemsError) {
    (void)App();
    WinSerialPort port;
    for (const char* name : {"COM199", "\\\\.\\COM198", "no such port"}) {
        try {
            port.Open(name);
            ADD_FAILURE() << name << " opened";
        } catch (const SerialPortError& e) {
            EXPECT_EQ(e.Failure(), SerialFailure::Open) << name;
            EXPECT_GT(e.SystemError(), 0) << name;
        }
        EXPECT_FALSE(port.IsOpen());
    }
}

TEST(WinSerialPort, AClosedPortRefusesEveryCallAndClosesAgainQuietly) {
    (void)App();
    WinSerialPort port;
    std::vector<std::uint8_t> bytes{0, 2, 0xff, 0};
    const auto failure = [](auto call) {
        try {
            call();
        } catch (const SerialPortError& e) {
            return e.Failure();
        }
        return SerialFailure::Open;  // nothing thrown: not the answer expected
    };
    EXPECT_EQ(failure([&] { port.Write(bytes); }), SerialFailure::NotOpen);
    EXPECT_EQ(failure([&] { port.Read(bytes); }), SerialFailure::NotOpen);
    EXPECT_EQ(failure([&] { port.PurgeBuffers(); }), SerialFailure::NotOpen);
    port.Close();
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace qm::test
