#pragma once

// An exchange as rows of the trace and the monitor: the frames decoded and
// the outcome.

#include <array>
#include <string>

#include "link/exchange/exchange_tap.h"

namespace zep8 {

// One line of the exchange trace: the request or the reply of an exchange.
struct TraceRow {
    std::string time;       // local time with milliseconds
    std::string direction;  // "->" request, "<-" reply
    std::string frame;      // the characters as on the line; foreign frames in hex
    std::string decoded;    // address, read/write, name, index, data, value, check sum
    std::string replyMs;    // reply rows only
    std::string outcome;    // reply rows only
    bool failed = false;    // a reply row of an exchange that did not get its answer
};

// The request row and the reply row of an exchange.
std::array<TraceRow, 2> DescribeExchange(const ExchangeRecord& record);

// A row as one line of text (no line end), columns separated by two blanks.
std::string TraceRowText(const TraceRow& row);

}  // namespace zep8
