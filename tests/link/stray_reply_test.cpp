// Replies that belong to another module or another request, and replies
// damaged on the line: which are passed over, which asked again, which fail.
#include <gtest/gtest.h>

#include "link/exchange/device_io.h"
#include "link/exchange/frame_codec.h"
#include "model/name_hash.h"
#include "model/parameter.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "support/scripted_exchange.h"

namespace zep8 {
namespace {

using testing::kAttributes;
using testing::kDev;
using testing::kError;
using testing::ScriptedPort;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kRead = 0x8784;
constexpr std::uint16_t kType = 0x932D;  // "in-t"
// Tries after damaged or stray replies (time-outs have four).
constexpr int kTries = 8;

std::string From(int address, std::uint16_t hash, Bytes data, bool elevenBit = false) {
    RequestFrame f;
    f.address = address;
    f.elevenBitAddress = elevenBit;
    f.read = true;
    f.hash = hash;
    f.data = data;
    return *BuildRequestText(f);
}

std::string Damaged(std::string frame) {
    frame[5] = frame[5] == 'G' ? 'H' : 'G';
    return frame;
}

class Replies : public testing::ScriptedExchange {
  protected:
    bool Read(std::string_view name, int offset = 0) {
        return io.Exchange(true, name, {}, reply, error, offset);
    }
};

TEST_F(Replies, LateReplyOfTheInputBeforeIsPassedOver) {
    // The polls ask "rEAd" at base + input, every input under one hash.
    port->Add(TRANSFER_OK, From(16, kRead, {0x41, 0xA0, 0, 0, 0, 7}));  // input 1's, late
    port->Add(TRANSFER_OK, From(17, kRead, {0x41, 0xA8, 0, 0, 0, 9}));
    ASSERT_TRUE(Read("rEAd", 1)) << error;
    EXPECT_EQ(reply, (Bytes{0x41, 0xA8, 0, 0, 0, 9}));
    EXPECT_EQ(port->sent.size(), 1u);  // the wait went on; nothing was sent again
    EXPECT_EQ(port->listens, 1);
}

TEST_F(Replies, AnotherModulesReplyNeverLandsAsAValue) {
    for (int i = 0; i < kTries; ++i) {
        port->Add(TRANSFER_OK, From(48, kDev, {'x'}));
        port->Add(TRANSFER_TIMEOUT);  // and nothing more until the reply wait ends
    }
    EXPECT_FALSE(Read("dev"));
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(error,
              "Пришла посылка от другого прибора: адрес в ответе не совпадает с адресом "
              "запроса.\n");
    EXPECT_EQ(port->sent.size(), std::size_t{kTries});  // asked again, each after the wait
    EXPECT_EQ(processState().ExitStatus(), 8u);  // heard, but garbled: not "no link"
    // The next exchange waits for a quiet line before it sends.
    const int quiet = port->quietWaits;
    port->Add(TRANSFER_OK, From(16, kDev, {'y'}));
    EXPECT_TRUE(Read("dev"));
    EXPECT_EQ(port->quietWaits, quiet + 1);
}

TEST_F(Replies, ElevenBitAddressesAreComparedWhole) {
    port->settings.addressLength = 11;
    port->settings.baseAddress = 2047;
    port->Add(TRANSFER_OK, From(2046, kDev, {'a'}, true));  // the same high byte
    port->Add(TRANSFER_OK, From(2047, kDev, {'b'}, true));
    ASSERT_TRUE(Read("dev")) << error;
    EXPECT_EQ(reply, Bytes{'b'});

    // On an 8-bit line a frame with the three low bits of an 11-bit address is not ours.
    port->settings.addressLength = 8;
    port->settings.baseAddress = 16;
    port->Add(TRANSFER_OK, From(16 << 3 | 2, kDev, {'c'}, true));  // byte 0 is 16
    port->Add(TRANSFER_OK, From(16, kDev, {'d'}));
    ASSERT_TRUE(Read("dev")) << error;
    EXPECT_EQ(reply, Bytes{'d'});
}

TEST_F(Replies, AnyModuleAnswersTheBroadcastWithItsOwnAddress) {
    port->settings.baseAddress = 32;
    port->Add(TRANSFER_OK, From(16, kDev, {'Z'}));
    ASSERT_TRUE(Read("dev", -1)) << error;
    EXPECT_EQ(reply, Bytes{'Z'});
}

TEST_F(Replies, ValueReadIsAskedAgainAfterABadCheckSum) {
    port->Add(TRANSFER_OK, Damaged(From(16, kDev, {1, 2})));
    port->Add(TRANSFER_OK, From(16, kDev, {3, 4}));
    ASSERT_TRUE(Read("dev")) << error;
    EXPECT_EQ(reply, (Bytes{3, 4}));
    EXPECT_EQ(port->sent.size(), 2u);
    EXPECT_EQ(port->quietWaits, 1);  // the damaged reply's rest is let go first
    EXPECT_EQ(processState().ExitStatus(), 0u);

    // Damaged replies to every try: the last one's reason, and garbage on the line.
    port->sent.clear();
    for (int i = 0; i < kTries; ++i)
        port->Add(TRANSFER_OK, Damaged(From(16, kDev, {static_cast<std::uint8_t>(i)})));
    EXPECT_FALSE(Read("dev"));
    EXPECT_EQ(error, "Ошибка в контрольной сумме ответа");
    EXPECT_EQ(port->sent.size(), std::size_t{kTries});
    EXPECT_EQ(processState().ExitStatus(), 8u);

    // The same damaged frame twice is no noise: asking more cannot help.
    port->sent.clear();
    for (int i = 0; i < 3; ++i) port->Add(TRANSFER_OK, Damaged(From(16, kDev, {9})));
    EXPECT_FALSE(Read("dev"));
    EXPECT_EQ(port->sent.size(), 2u);
}

TEST_F(Replies, ARequestDamagedOnTheWayIsAskedAgainUnlessACommand) {
    port->Add(TRANSFER_OK, From(16, kError, {0x27}));  // the module got a bad check sum
    port->Add(TRANSFER_OK, From(16, kError, {0x27}));  // alike each time, yet noise
    port->Add(TRANSFER_OK, From(16, kDev, {'v'}));
    ASSERT_TRUE(Read("dev")) << error;
    EXPECT_EQ(port->sent.size(), 3u);

    port->sent.clear();
    port->Add(TRANSFER_OK, From(16, kError, {0x27}));
    EXPECT_FALSE(Read("CLB.S"));
    EXPECT_EQ(error, "Неверная контрольная сумма кадра");
    EXPECT_EQ(port->sent.size(), 1u);
}

TEST_F(Replies, CommandsAreNotAskedAgainAfterABadReply) {
    const std::uint16_t state = hash_name("CLB.S");
    port->Add(TRANSFER_OK, From(16, state, {0x01}).substr(0, 9) + "\r");
    EXPECT_FALSE(Read("CLB.S"));
    EXPECT_EQ(port->sent.size(), 1u);

    port->sent.clear();
    port->Add(TRANSFER_OK, From(16, kDev, {0x01}));  // another request's answer, then silence
    EXPECT_FALSE(Read("CLB.S"));
    EXPECT_EQ(error, "Пришла посылка с кодом команды, отличным от посланной и от n.Err.\n");
    EXPECT_EQ(port->sent.size(), 1u);
}

TEST_F(Replies, AttributeReplyOfAnotherIndexIsPassedOver) {
    Parameter type("in-t");
    type.index = 2;
    port->Add(TRANSFER_OK, From(16, kAttributes, {0x01, 0x00, 0x01, 0x93, 0x2D}));  // input 2's
    port->Add(TRANSFER_OK, From(16, kAttributes, {0x03, 0x00, 0x02, 0x93, 0x2D}));
    port->Add(TRANSFER_OK, From(16, kType, {0x05, 0x00, 0x02}));
    ASSERT_EQ(io.TransferParameter(DIRECTION_READ, &type), STATUS_OK) << type.errorText;
    EXPECT_TRUE(type.attrEditable);
    EXPECT_FALSE(type.attrFactory);
    EXPECT_EQ(port->sent.size(), 2u);

    // Another parameter's attributes at the same index are not these either.
    port->sent.clear();
    port->Add(TRANSFER_OK, From(16, kAttributes, {0x01, 0x00, 0x02, 0x16, 0x59}));  // "in.Fd"
    port->Add(TRANSFER_OK, From(16, kAttributes, {0x02, 0x00, 0x02, 0x93, 0x2D}));
    port->Add(TRANSFER_OK, From(16, kType, {0x05, 0x00, 0x02}));
    ASSERT_EQ(io.TransferParameter(DIRECTION_READ, &type), STATUS_OK) << type.errorText;
    EXPECT_FALSE(type.attrEditable);
}

TEST_F(Replies, BadAttributeReplyAsksTheWholeParameterAgain) {
    Parameter type("in-t");
    type.index = 2;
    port->Add(TRANSFER_OK, From(16, kError, {0x26}));  // the request came damaged
    port->Add(TRANSFER_OK, Damaged(From(16, kAttributes, {0x03, 0x00, 0x02, 0x93, 0x2D})));
    port->Add(TRANSFER_OK, From(16, kAttributes, {0x03, 0x00, 0x02, 0x93, 0x2D}));
    port->Add(TRANSFER_OK, From(16, kType, {0x05, 0x00, 0x02}));
    ASSERT_EQ(io.TransferParameter(DIRECTION_READ, &type), STATUS_OK) << type.errorText;
    ASSERT_EQ(port->sent.size(), 4u);
    EXPECT_EQ(port->sent[0], port->sent[2]);  // the attribute request, once per try
    EXPECT_EQ(processState().ExitStatus(), 0u);  // the line's trouble cost time, nothing else

    // A locked parameter's write that fails keeps it locked for the next try.
    Parameter addr("Addr");
    addr.value = "32";
    addr.attrEditable = false;
    addr.attrChanged = true;
    port->sent.clear();
    for (int i = 0; i < kTries; ++i) {
        const auto bits = static_cast<std::uint8_t>(0x40 + i);
        port->Add(TRANSFER_OK, Damaged(From(16, kAttributes, {bits, 0x9F, 0x62})));
    }
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &addr), STATUS_ATTRIBUTES_FAILED);
    EXPECT_EQ(port->sent.size(), std::size_t{kTries});
    EXPECT_FALSE(addr.attrEditable);
    for (const auto& sent : port->sent) EXPECT_EQ(sent, port->sent[0]);  // unlock, every time
}

}  // namespace
}  // namespace zep8
