#include "link/remote/telnet_stream.h"

namespace zep8 {
namespace {

constexpr std::uint8_t kSe = 240, kSb = 250, kWill = 251, kWont = 252, kDo = 253, kDont = 254;
constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3;

std::string Verb(std::uint8_t verb, std::uint8_t option) {
    return {static_cast<char>(TelnetStream::kIac), static_cast<char>(verb),
            static_cast<char>(option)};
}

bool WeDo(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == TelnetStream::kComPort;
}

bool ServerMay(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead;
}

}  // namespace

std::string TelnetStream::Greeting() {
    localAsked_[kComPort] = localAsked_[kBinary] = remoteAsked_[kBinary] = true;
    return Verb(kWill, kComPort) + Verb(kWill, kBinary) + Verb(kDo, kBinary);
}

std::string TelnetStream::Request(Command command, std::uint32_t value) {
    std::string bytes{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPort),
                      static_cast<char>(command)};
    std::string payload;
    if (command == SET_BAUDRATE) {
        for (int shift = 24; shift >= 0; shift -= 8) payload += static_cast<char>(value >> shift);
    } else {
        payload += static_cast<char>(value);
    }
    bytes += Escape(payload);
    bytes += static_cast<char>(kIac);
    bytes += static_cast<char>(kSe);
    return bytes;
}

std::string TelnetStream::Escape(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 4);
    for (const char c : bytes) {
        out += c;
        if (static_cast<std::uint8_t>(c) == kIac) out += c;
    }
    return out;
}

void TelnetStream::Feed(std::string_view received, std::string& data, std::string& answer) {
    for (const char c : received) {
        if (overflowed_) return;
        const auto byte = static_cast<std::uint8_t>(c);
        switch (state_) {
            case State::Data:
                if (byte == kIac) {
                    state_ = State::Iac;
                } else {
                    data += c;
                }
                break;
            case State::Iac:
                state_ = State::Data;
                if (byte == kIac) {
                    data += c;
                } else if (byte >= kWill) {
                    verb_ = byte;
                    state_ = State::Verb;
                } else if (byte == kSb) {
                    sb_.clear();
                    state_ = State::Sb;
                }  // other commands (NOP, GA, ...) carry nothing for the line
                break;
            case State::Verb:
                Negotiate(verb_, byte, answer);
                state_ = State::Data;
                break;
            case State::Sb:
                if (byte == kIac) {
                    state_ = State::SbIac;
                } else {
                    TakeSubnegotiation(c);
                }
                break;
            case State::SbIac:
                if (byte == kIac) {
                    TakeSubnegotiation(c);
                    state_ = State::Sb;
                } else {
                    Subnegotiation();
                    state_ = State::Data;
                }
                break;
        }
    }
}

// Answers only a change, so two peers never loop on each other's answers.
void TelnetStream::Negotiate(std::uint8_t verb, std::uint8_t option, std::string& answer) {
    switch (verb) {
        case kDo:
            if (!WeDo(option)) {
                answer += Verb(kWont, option);
            } else if (!local_[option]) {
                local_[option] = true;
                if (!localAsked_[option]) answer += Verb(kWill, option);
            }
            localAsked_[option] = false;
            break;
        case kDont:
            if (option == kComPort) comPortRefused_ = true;
            if (local_[option]) answer += Verb(kWont, option);
            local_[option] = localAsked_[option] = false;
            break;
        case kWill:
            if (!ServerMay(option)) {
                answer += Verb(kDont, option);
            } else if (!remote_[option]) {
                remote_[option] = true;
                if (!remoteAsked_[option]) answer += Verb(kDo, option);
            }
            remoteAsked_[option] = false;
            break;
        case kWont:
            if (remote_[option]) answer += Verb(kDont, option);
            remote_[option] = remoteAsked_[option] = false;
            break;
        default:
            break;
    }
}

void TelnetStream::TakeSubnegotiation(char c) {
    if (sb_.size() == kMaxSubnegotiation) {
        overflowed_ = true;
        return;
    }
    sb_ += c;
}

void TelnetStream::Subnegotiation() {
    if (sb_.size() < 2 || static_cast<std::uint8_t>(sb_[0]) != kComPort) return;
    const int command = static_cast<std::uint8_t>(sb_[1]) - 100;
    if (command < SET_BAUDRATE || command > SET_CONTROL) return;  // line and modem state notices
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < sb_.size(); ++i)
        value = (value << 8) | static_cast<std::uint8_t>(sb_[i]);
    answers_[static_cast<std::size_t>(command)] = value;
}

std::optional<std::uint32_t> TelnetStream::Answer(Command command) const {
    return answers_[command];
}

void TelnetStream::ForgetAnswers() {
    answers_ = {};
}

}  // namespace zep8
