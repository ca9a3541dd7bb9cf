#pragma once

#include <mutex>
#include <ostream>

#include "link/exchange/exchange_tap.h"

namespace zep8 {

// --trace: each exchange as two lines (request, reply) on a stream.
class TraceOutput : public ExchangeTap {
  public:
    explicit TraceOutput(std::ostream& out) : out_(out) {}
    void OnExchange(const ExchangeRecord& record) override;

  private:
    std::mutex mutex_;
    std::ostream& out_;
};

}  // namespace zep8
