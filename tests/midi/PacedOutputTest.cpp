// A message armed to leave on the keyboard's reply counts as sent only when
// it left and is exactly the one the transfer asks for next; otherwise it is
// sent the ordinary way, or the run fails: never a send claimed that did not happen.
#include "transfer/io/PacedOutput.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon::midi;
using namespace quillon::transfer;
using Bytes = std::vector<std::uint8_t>;

// An output whose armed message "leaves" when the test says the reply came.
struct ReplyPort : OutputConnection {
    bool canArm = true;
    bool replyCame = false;
    std::vector<Bytes> sent; // plain sends
    std::optional<Bytes> armed;
    SendResult send(std::span<const std::uint8_t> message) override
    {
        sent.emplace_back(message.begin(), message.end());
        return SendResult::Sent;
    }
    bool sendOnReply(InputConnection&, std::uint8_t, std::span<const std::uint8_t> message) override
    {
        if (canArm)
            armed.emplace(message.begin(), message.end());
        return canArm;
    }
    SendResult takeBackReplySend() override
    {
        armed.reset();
        return replyCame ? SendResult::Sent : SendResult::SendFailed;
    }
};

struct NoInput : InputConnection {
    void close() override {}
};

TEST(PacedOutput, CountsAnArmedMessageOnlyWhenItLeftAndIsTheOneAskedFor)
{
    const Bytes next{0xF0, 1, 0xF7}, other{0xF0, 2, 0xF7};
    const struct {
        const char* what;
        bool canArm, replyCame;
        Bytes asked;
        SendResult result;
        std::vector<Bytes> plainSends;
    } cases[] = {
        {"left on the reply, the one asked for", true, true, next, SendResult::Sent, {}},
        {"left on the reply, another asked for", true, true, other, SendResult::SendFailed, {}},
        {"no reply yet: taken back, sent as usual", true, false, other, SendResult::Sent, {other}},
        {"a port that cannot arm sends as usual", false, false, next, SendResult::Sent, {next}},
    };
    for (const auto& c : cases) {
        auto port = std::make_unique<ReplyPort>();
        ReplyPort& raw = *port;
        raw.canArm = c.canArm;
        PacedOutput output(std::move(port));
        NoInput input;
        output.arm(input, 53, next);
        EXPECT_EQ(output.armed(), c.canArm) << c.what;
        raw.replyCame = c.replyCame;
        EXPECT_EQ(output.send(c.asked), c.result) << c.what;
        EXPECT_EQ(raw.sent, c.plainSends) << c.what;
        EXPECT_FALSE(output.armed()) << c.what;
        EXPECT_FALSE(raw.armed) << c.what; // nothing is left to leave later
    }
}

} // namespace
