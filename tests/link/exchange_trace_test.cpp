// What the trace and the bus monitor show of an exchange, and what the
// monitor's journal keeps.
#include <gtest/gtest.h>

#include "link/exchange/exchange_journal.h"
#include "link/exchange/exchange_trace.h"
#include "link/exchange/frame_codec.h"
#include "link/line/line_port.h"
#include "model/name_hash.h"
#include "model/parameter.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"

namespace zep8 {
namespace {

std::string Frame(int address, bool read, std::string_view name,
                  std::vector<std::uint8_t> data = {}) {
    RequestFrame f;
    f.address = address;
    f.read = read;
    f.hash = hash_name(name);
    f.data = data;
    return *BuildRequestText(f);
}

ExchangeRecord Record(std::string sent, std::string received, int result = TRANSFER_OK) {
    ExchangeRecord r;
    r.sent = std::move(sent);
    r.received = std::move(received);
    r.result = result;
    r.took = std::chrono::microseconds(12345);
    r.address = 16;
    return r;
}

TEST(ExchangeTrace, DecodesRequestsRepliesAndEveryFailure) {
    Parameter addr("Addr");
    RecordingPrompter prompter;
    ASSERT_TRUE(addr.AssignValue("40", prompter));
    std::vector<std::uint8_t> value;
    ASSERT_EQ(addr.ConvertToData(value), MyConverter::CONVERT_OK);

    auto rows = DescribeExchange(Record(Frame(16, false, "Addr", value), Frame(16, false, "Addr", value)));
    EXPECT_EQ(rows[0].direction, "->");
    EXPECT_EQ(rows[0].frame.back(), 'r');  // the carriage return shown as "\r"
    EXPECT_EQ(rows[0].decoded.rfind("адрес 16, запись, Addr = 40, данные ", 0), 0u)
        << rows[0].decoded;
    EXPECT_NE(rows[0].decoded.find("КС верна"), std::string::npos);
    EXPECT_EQ(rows[1].replyMs, "12.3");
    EXPECT_EQ(rows[1].outcome, "ответ");
    EXPECT_FALSE(rows[1].failed);

    // An indexed parameter's index, an error reply with its text.
    rows = DescribeExchange(Record(Frame(18, true, "in-t", {0x00, 0x03}),
                                   Frame(18, false, "n.Err", {0x33})));
    EXPECT_NE(rows[0].decoded.find("чтение, in-t[3]"), std::string::npos) << rows[0].decoded;
    EXPECT_EQ(rows[1].outcome,
              "n.Err 33: Редактирование параметра запрещено атрибутами доступа");
    EXPECT_TRUE(rows[1].failed);

    // A damaged check sum, a lost frame start, a reply to another request, silence.
    std::string damaged = Frame(16, false, "dev", {0x41});
    damaged[damaged.size() - 2] = damaged[damaged.size() - 2] == 'G' ? 'H' : 'G';
    EXPECT_EQ(DescribeExchange(Record(Frame(16, true, "dev"), damaged))[1].outcome, "неверная КС");
    EXPECT_EQ(DescribeExchange(Record(Frame(16, true, "dev"), "GHIJ\r"))[1].outcome,
              "потеря начала посылки");
    EXPECT_EQ(DescribeExchange(Record(Frame(16, true, "dev"), Frame(16, false, "ver")))[1].outcome,
              "ответ на другой запрос");
    rows = DescribeExchange(Record(Frame(16, true, "dev"), "", TRANSFER_TIMEOUT));
    EXPECT_EQ(rows[1].outcome, "таймаут");
    EXPECT_EQ(TraceRowText(rows[1]).find("  <-  "), 12u) << TraceRowText(rows[1]);

    // A foreign protocol's frames in hex.
    ExchangeRecord modbus = Record(std::string("\x10\x05\xF0", 3), "", TRANSFER_TIMEOUT);
    modbus.protocolMode = PROTOCOL_MODBUS_RTU;
    rows = DescribeExchange(modbus);
    EXPECT_EQ(rows[0].frame, "10 05 F0");
    EXPECT_EQ(rows[0].decoded, "ModBUS-RTU");
}

TEST(ExchangeJournal, KeepsTheNewestAndNumbersThemForTheReader) {
    ExchangeJournal journal(3);
    for (int i = 0; i < 5; ++i) journal.OnExchange(Record(std::to_string(i), ""));
    EXPECT_EQ(journal.Size(), 3u);
    auto kept = journal.Since(0);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept.front().number, 3u);
    EXPECT_EQ(kept.front().record.sent, "2");
    EXPECT_EQ(journal.Since(4).size(), 1u);
    EXPECT_TRUE(journal.Since(5).empty());

    journal.SetPaused(true);
    journal.OnExchange(Record("lost", ""));
    EXPECT_EQ(journal.Newest(), 5u);
    journal.SetPaused(false);
    journal.Clear();
    EXPECT_TRUE(journal.Since(0).empty());
    journal.OnExchange(Record("after", ""));
    EXPECT_EQ(journal.Since(5).size(), 1u);  // numbers go on after a clear
}

}  // namespace
}  // namespace zep8
