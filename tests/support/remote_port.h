#pragma once

// A port that is only ever a remote line: the tests of the line to a serial
// device server need no serial port beside it.
#include <string>
#include <string_view>

#include "link/line/line_port.h"
#include "link/remote/remote_line.h"

namespace zep8::testing {

class RemotePort : public LinePort {
  public:
    explicit RemotePort(std::string name) { settings.name = std::move(name); }
    int Open() override { return line_.Open(); }
    int Close() override { return line_.Close(); }
    bool IsOpen() const override { return line_.IsOpen(); }
    int Transfer(std::string_view frame, std::string& reply) override {
        return line_.Transfer(frame, reply);
    }
    std::string OpenFailureReason() const override { return line_.OpenFailureReason(); }
    void Disconnect() { line_.Disconnect(); }

  private:
    RemoteLine line_{*this};
};

}  // namespace zep8::testing
