// The call pair SendRequest / WaitResponse over the whole link on a fake line.
#include "link/ModBusCall.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "tests/support/LinkRig.h"

namespace tabsend::testkit {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ModBusCallTest, ConnectRequestAndReply) {
    LinkRig rig;
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    const std::array<std::uint8_t, 1> one{0x01};
    EXPECT_EQ(rig.link.call.SendRequest(0x7E, 33, one, 1), kTrue);
    std::uint8_t func = 0, addr = 0;
    std::int32_t len = 0;
    std::array<std::uint8_t, 257> data{};
    EXPECT_EQ(rig.link.call.WaitResponse(func, data, len, addr), 0);
    EXPECT_EQ(func, 0x7E);
    EXPECT_EQ(len, 1);
    EXPECT_EQ(data[0], 0x02);
    EXPECT_EQ(addr, 0x21);
    ASSERT_EQ(rig.device.requests().size(), 1u);
    EXPECT_EQ(rig.device.requests()[0].frame, (Bytes{0x21, 0x7E, 0x01, 0xC1, 0xAA}));
}

}  // namespace
}  // namespace tabsend::testkit
