#pragma once

// Telnet with COM Port Control (RFC 2217) on a remote line: the line's bytes
// out of the stream, the server's options answered, port settings asked for.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zep8 {

// The client side of a Telnet connection with the COM Port Control option: it
// takes the line's bytes out of the stream, answers the server's option
// requests and keeps the server's answers to the port settings.
class TelnetStream {
  public:
    static constexpr std::uint8_t kIac = 255;
    static constexpr std::uint8_t kComPort = 44;
    // A subnegotiation of COM Port Control carries a few bytes; one that runs
    // past this is a broken or hostile server, not a long answer.
    static constexpr std::size_t kMaxSubnegotiation = 256;

    // COM Port Control commands of the client; the server answers with 100 more.
    enum Command : std::uint8_t {
        SET_BAUDRATE = 1,
        SET_DATASIZE = 2,
        SET_PARITY = 3,
        SET_STOPSIZE = 4,
        SET_CONTROL = 5,
    };

    // What the client asks for at the start: COM Port Control, binary both ways.
    std::string Greeting();
    // A COM Port Control request; `value` is 4 bytes for the speed, else 1.
    static std::string Request(Command command, std::uint32_t value);
    // The line's bytes as they go on the connection: 0xFF doubled.
    static std::string Escape(std::string_view bytes);

    // Takes received bytes; appends the line's bytes to `data` and what must be
    // sent back to `answer`.
    void Feed(std::string_view received, std::string& data, std::string& answer);

    // The server's last answer to a setting, or nothing yet.
    std::optional<std::uint32_t> Answer(Command command) const;
    void ForgetAnswers();
    bool ComPortRefused() const { return comPortRefused_; }
    // The server has said DO COM-PORT-OPTION: the settings may go.
    bool ComPortAgreed() const { return local_[kComPort]; }
    // The server opened a subnegotiation and went past kMaxSubnegotiation
    // bytes without ending it: nothing more of the stream is taken.
    bool Overflowed() const { return overflowed_; }

  private:
    void Negotiate(std::uint8_t verb, std::uint8_t option, std::string& answer);
    void TakeSubnegotiation(char c);
    void Subnegotiation();

    enum class State { Data, Iac, Verb, Sb, SbIac } state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::string sb_;
    std::array<bool, 256> local_{}, remote_{}, localAsked_{}, remoteAsked_{};
    std::array<std::optional<std::uint32_t>, 6> answers_{};
    bool comPortRefused_ = false;
    bool overflowed_ = false;
};

}  // namespace zep8
