#include "app/trace_output.h"

#include "link/exchange/exchange_trace.h"

namespace zep8 {

void TraceOutput::OnExchange(const ExchangeRecord& record) {
    const auto rows = DescribeExchange(record);
    std::lock_guard lock(mutex_);
    for (const TraceRow& row : rows) out_ << "zep8: " << TraceRowText(row) << '\n';
    out_.flush();
}

}  // namespace zep8
