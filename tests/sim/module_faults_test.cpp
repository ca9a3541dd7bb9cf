#include <gtest/gtest.h>

#include "module_client.h"

namespace zep8::sim {
namespace {

using namespace test;

TEST(ModuleFaults, SilenceForTheNextRequests) {
    VirtualModule module;
    module.injectFault(Fault::Silence, 2);
    EXPECT_FALSE(Ask(module, "dev", true));
    EXPECT_FALSE(Ask(module, "ver", true));
    EXPECT_TRUE(Ask(module, "dev", true));
    EXPECT_EQ(module.count("dev").received, 2);
    EXPECT_EQ(module.count("dev").answered, 1);
}

TEST(ModuleFaults, DamagedRepliesOfEachKind) {
    VirtualModule module;
    const std::string good = module.handleFrame(RequestText("dev", true))->bytes;

    module.injectFault(Fault::Garbage);
    std::string reply = module.handleFrame(RequestText("dev", true))->bytes;
    EXPECT_EQ(reply.find('#'), std::string::npos);
    EXPECT_EQ(reply.back(), '\r');

    module.injectFault(Fault::LostStart);
    EXPECT_EQ(module.handleFrame(RequestText("dev", true))->bytes, good.substr(1));

    module.injectFault(Fault::BadChecksum);
    reply = module.handleFrame(RequestText("dev", true))->bytes;
    EXPECT_EQ(reply.size(), good.size());
    EXPECT_FALSE(ParseReplyText(reply).checksumOk);
    EXPECT_EQ(ParseReplyText(reply).data, ParseReplyText(good).data);

    module.injectFault(Fault::NoCarriageReturn);
    reply = module.handleFrame(RequestText("dev", true))->bytes;
    EXPECT_EQ(reply, good.substr(0, good.size() - 1));

    module.injectFault(Fault::WrongHash);
    const ReplyFrame other = ParseReplyText(module.handleFrame(RequestText("dev", true))->bytes);
    EXPECT_TRUE(other.checksumOk);
    EXPECT_NE(other.hash, hash_name("dev"));
    EXPECT_NE(other.hash, kErrorHash);

    EXPECT_EQ(module.handleFrame(RequestText("dev", true))->bytes, good) << "faults are used up";
}

TEST(ModuleFaults, DelayedRepliesAndForcedErrors) {
    VirtualModule module;
    module.injectDelay(std::chrono::milliseconds(300), 1);
    EXPECT_EQ(module.handleFrame(RequestText("dev", true))->delay, std::chrono::milliseconds(300));
    EXPECT_EQ(module.handleFrame(RequestText("dev", true))->delay, std::chrono::nanoseconds(0));

    module.forceError("in.SH", 0x30);
    EXPECT_EQ(ErrorCode(Ask(module, "in.SH", true, Index(2))), 0x30);
    EXPECT_EQ(ErrorCode(Ask(module, "in.SH", true, Index(2))), 0x30) << "until cleared";
    EXPECT_EQ(ErrorCode(Ask(module, "in.SL", true, Index(2))), -1);
    module.clearForcedError("in.SH");
    EXPECT_EQ(ErrorCode(Ask(module, "in.SH", true, Index(2))), -1);

    module.forceError("dev", 0x41);
    module.injectFault(Fault::Silence, 5);
    module.clearFaults();
    EXPECT_EQ(ReadText(module, "dev"), "ZEP-8");
}

}  // namespace
}  // namespace zep8::sim
