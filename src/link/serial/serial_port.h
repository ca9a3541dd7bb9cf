#pragma once

// A serial port of the machine as a line: termios (serial_port_posix.cpp) or a
// Windows COM port with overlapped I/O (serial_port_win32.cpp).

#include <chrono>
#include <string>

#include "link/line/line_port.h"
#include "link/line/line_timings.h"

struct termios;

namespace zep8 {

// A serial port of the machine (or any tty, a pseudo-terminal included),
// opened exclusively, raw, without flow control. One transfer at a time: the
// transaction engine's lock sees to that.
class SerialPort : public LinePort {
  public:
    SerialPort() = default;
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    int Open() override;
    int Close() override;
    bool IsOpen() const override;
    int Transfer(std::string_view frame, std::string& reply) override;
#ifndef _WIN32
    int Listen(std::string& reply) override;
    void AwaitQuiet() override;
#endif
    std::string OpenFailureReason() const override { return openFailure_; }

    // Kind 0 the receive buffer, 1 the transmit buffer, 2 both.
    int Purge(int kind);

    const LineTimings& timings() const { return timings_; }

  private:
    int Send(std::string_view frame);
    // The first `echoLength` bytes received are the adapter's echo of the request.
    int Receive(std::string& reply, std::size_t echoLength);
    bool LineErrorsGrew();
    // Ends a failed Open: the port closed, `reason` in openFailure_.
    int Refuse(int result, std::string reason);
    // Closes a port whose device hung up or went away; says so in openFailure_.
    int LineGone(int error);
    std::string openFailure_;
    LineTimings timings_;
    int protocolMode_ = 0;  // as it was when the port was opened
#ifdef _WIN32
    void CloseDevice();
    // The port opened for overlapped I/O, and the events its reads and
    // writes complete on.
    int Wait(void* overlapped, std::size_t& done, std::chrono::steady_clock::time_point deadline);
    int WriteAll(std::string_view bytes);
    void* handle_ = nullptr;
    void* readDone_ = nullptr;
    void* writeDone_ = nullptr;
#else
    // Open's steps: the device opened for this program alone (false, with
    // the reason in openFailure_, when it cannot be); the raw line with the
    // settings' character format, speed checked (OPEN_OK or why not); the
    // driver's low latency where it has it.
    bool OpenExclusive(const std::string& path);
    int DescribeLine(termios& tio, bool& parity);
    void AskLowLatency();

    // Receives until the end of the reply wait begun by the last Transfer.
    int ReceiveUntilDeadline(std::string& reply, std::size_t echoLength);
    // Takes a chunk into the reply; in the own protocol what follows the
    // carriage return is the next frame's and waits in leftover_.
    ReplyBytes Take(std::string_view chunk, std::size_t& echoLeft, std::string& reply);

    int fd_ = -1;
    std::chrono::steady_clock::time_point replyDeadline_{};
    std::string leftover_;
    struct ErrorCounts {
        int frame = 0, parity = 0, overrun = 0, brk = 0;
        bool known = false;
    } errors_;
#endif
};

}  // namespace zep8
