#include "link/serial/serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <utility>

#include "link/line/run_stop.h"
#include "link/serial/port_names.h"
#include "link/serial/termios_speed.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;

// Keeps the sending thread busy for one character: a sleep is far too coarse
// at high speeds.
void BusyWait(float milliseconds) {
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double, std::milli>(milliseconds));
    while (Clock::now() < until) {
    }
}

void SetRts(int fd, bool on) {
    int bits = TIOCM_RTS;
    // A pseudo-terminal has no modem lines; that is fine.
    (void)ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits);
}

}  // namespace

bool SerialPort::IsOpen() const {
    return fd_ >= 0;
}

SerialPort::~SerialPort() {
    if (fd_ >= 0) ::close(fd_);
}

int SerialPort::Open() {
    if (fd_ >= 0) ::close(fd_);  // an open port is opened anew
    fd_ = -1;
    timings_ = LineTimings{};
    openFailure_.clear();
    const std::string path = PortDevicePath(settings.name);
    if (!OpenExclusive(path)) return OPEN_CANNOT_OPEN;

    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        return Refuse(OPEN_UNSUPPORTED, "Устройство " + path + " не последовательный порт.");
    }
    bool parity = false;
    if (const int refused = DescribeLine(tio, parity); refused != OPEN_OK) return refused;

    protocolMode_ = processState().ProtocolMode.load();
    timings_ = ComputeLineTimings(settings.baudRate, parity, settings.stopBits == 2, protocolMode_);

    if (tcsetattr(fd_, TCSANOW, &tio) != 0 || !SetBaudRate(fd_, settings.baudRate)) {
        return Refuse(OPEN_SETTINGS_REFUSED, "Порт " + path + " не принимает настройки (скорость " +
                                                 std::to_string(settings.baudRate) + " бод).");
    }
    AskLowLatency();
    Purge(2);
    return OPEN_OK;
}

bool SerialPort::OpenExclusive(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        openFailure_ = DescribeOpenFailure(path, errno);
        return false;
    }
    // TIOCEXCL keeps other users out, but not root; the lock keeps every
    // other instance of this program out too.
    const bool exclusive = ioctl(fd_, TIOCEXCL) == 0 || errno != EBUSY;
    if (!exclusive || (flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)) {
        openFailure_ = DescribeOpenFailure(path, EBUSY);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

int SerialPort::DescribeLine(termios& tio, bool& parity) {
    if (auto refused = RefuseSettings(settings, true)) return Refuse(refused->result, refused->reason);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CRTSCTS | PARENB | PARODD | CMSPAR | CSIZE | CSTOPB | HUPCL);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    parity = true;
    switch (settings.parityScheme) {
        case SCHEME_NONE_0:
        case SCHEME_NONE:
            parity = false;
            break;
        case SCHEME_EVEN:
            tio.c_cflag |= PARENB;
            break;
        case SCHEME_MARK:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case SCHEME_ODD:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case SCHEME_SPACE:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        default:  // refused above
            break;
    }
    if (parity) tio.c_iflag |= INPCK;
    switch (settings.byteSize) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        default:  // 8, the others refused above
            tio.c_cflag |= CS8;
            break;
    }
    if (settings.stopBits == 2) tio.c_cflag |= CSTOPB;
    return OPEN_OK;
}

// A USB adapter holds what it receives up to its latency timer (16 ms by
// default); low latency brings the FTDI driver's timer to 1 ms. A driver
// without it refuses, and the port works as it is.
void SerialPort::AskLowLatency() {
    serial_struct serial{};
    if (ioctl(fd_, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        (void)ioctl(fd_, TIOCSSERIAL, &serial);
    }
}

// A port that cannot take the settings is not left open on other ones.
int SerialPort::Refuse(int result, std::string reason) {
    openFailure_ = std::move(reason);
    ::close(fd_);
    fd_ = -1;
    return result;
}

int SerialPort::Close() {
    if (fd_ < 0) return -2;
    if (Purge(2) != 0) return -1;
    ::close(fd_);
    fd_ = -1;
    return 0;
}

int SerialPort::Purge(int kind) {
    if (fd_ < 0) return -2;
    int queue;
    switch (kind) {
        case 0:
            queue = TCIFLUSH;
            break;
        case 1:
            queue = TCOFLUSH;
            break;
        case 2:
            queue = TCIOFLUSH;
            break;
        default:
            return 0;
    }
    return tcflush(fd_, queue) == 0 ? 0 : -1;
}

bool SerialPort::LineErrorsGrew() {
    serial_icounter_struct counts{};
    if (ioctl(fd_, TIOCGICOUNT, &counts) != 0) return false;  // the driver keeps none
    const ErrorCounts now{counts.frame, counts.parity, counts.overrun, counts.brk, true};
    const bool grew = errors_.known && (now.frame > errors_.frame || now.parity > errors_.parity ||
                                        now.overrun > errors_.overrun || now.brk > errors_.brk);
    errors_ = now;
    return grew;
}

int SerialPort::Send(std::string_view frame) {
    auto writeAll = [this](std::string_view bytes) -> int {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return LineGone(errno);
            if (WaitOnLine(stopEvent, Event::kInfinite, fd_, Event::kWritable) == 0) {
                return TRANSFER_ABORTED;
            }
        }
        return TRANSFER_OK;
    };

    if (directionMode.load() != 0) return writeAll(frame);

    SetRts(fd_, true);
    for (char byte : frame) {
        if (const int sent = writeAll(std::string_view(&byte, 1)); sent != TRANSFER_OK) {
            return sent;
        }
        BusyWait(timings_.characterTime);
    }
    SetRts(fd_, false);
    return TRANSFER_OK;
}

int SerialPort::Receive(std::string& reply, std::size_t echoLength) {
    replyDeadline_ = Clock::now() + std::chrono::milliseconds(ReplyWait(timings_.replyTimeout));
    return ReceiveUntilDeadline(reply, echoLength);
}

ReplyBytes SerialPort::Take(std::string_view chunk, std::size_t& echoLeft, std::string& reply) {
    if (protocolMode_ == PROTOCOL_OWN) return TakeFrameBytes(chunk, echoLeft, reply, leftover_);
    return TakeReplyBytes(chunk, echoLeft, reply);
}

int SerialPort::ReceiveUntilDeadline(std::string& reply, std::size_t echoLength) {
    const bool rtu = protocolMode_ == PROTOCOL_MODBUS_RTU;
    auto deadline = replyDeadline_;
    if (!leftover_.empty()) {
        const std::string early = std::exchange(leftover_, std::string());
        if (Take(early, echoLength, reply) == ReplyBytes::Ended && !rtu) return TRANSFER_OK;
    }
    for (;;) {
        const int woke = WaitOnLine(stopEvent, Event::Remaining(deadline), fd_);
        if (woke == 0) return TRANSFER_ABORTED;
        if (woke == Event::kTimedOut) {
            return (rtu && !reply.empty()) ? TRANSFER_OK : TRANSFER_TIMEOUT;
        }
        char buffer[256];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        // Readable with nothing to read, or EIO: the other end hung up. Waiting
        // again would only spin on the same hang-up.
        if (n <= 0) return LineGone(n == 0 ? EIO : errno);
        if (LineErrorsGrew()) return TRANSFER_LINE_ERROR;
        const ReplyBytes taken =
            Take(std::string_view(buffer, static_cast<std::size_t>(n)), echoLength, reply);
        if (taken == ReplyBytes::None) continue;
        if (rtu) {
            deadline = Clock::now() + std::chrono::milliseconds(timings_.rtuSilence);
        } else if (taken == ReplyBytes::Ended) {
            return TRANSFER_OK;
        }
    }
}

int SerialPort::Listen(std::string& reply) {
    reply.clear();
    if (fd_ < 0) return TRANSFER_TIMEOUT;
    return ReceiveUntilDeadline(reply, 0);
}

void SerialPort::AwaitQuiet() {
    leftover_.clear();
    if (fd_ < 0) return;
    const auto gap = std::chrono::milliseconds(QuietGap(timings_));
    // Deadline: one reply wait, however noisy the line; the port's stop event
    // and the run's stop end it.
    const auto limit = Clock::now() + std::chrono::milliseconds(ReplyWait(timings_.replyTimeout));
    for (;;) {
        const auto until = std::min(Clock::now() + gap, limit);
        const int woke = WaitOnLine(stopEvent, Event::Remaining(until), fd_);
        if (woke == 0 || woke == Event::kTimedOut) return;
        char buffer[256];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0 || Clock::now() >= limit) return;  // a hang-up shows at the next transfer
    }
}

int SerialPort::LineGone(int error) {
    openFailure_ =
        "Порт " + PortDevicePath(settings.name) +
        (error == ENODEV || error == ENXIO ? " исчез из системы" : " отключился (обрыв связи)") +
        ": связь с прибором потеряна.";
    ::close(fd_);
    fd_ = -1;
    return TRANSFER_LINE_GONE;
}

int SerialPort::Transfer(std::string_view frame, std::string& reply) {
    reply.clear();
    const bool openedHere = fd_ < 0;
    if (openedHere && Open() != OPEN_OK) return TRANSFER_LINE_GONE;
    int result = TRANSFER_ABORTED;
    if (fd_ >= 0) {
        tcflush(fd_, TCIOFLUSH);
        leftover_.clear();
        errors_.known = false;
        LineErrorsGrew();
        result = Send(frame);
        if (result == TRANSFER_OK) result = Receive(reply, echoSuppression ? frame.size() : 0);
    }
    if (openedHere && fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return result;
}

}  // namespace zep8
