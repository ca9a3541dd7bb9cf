#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "link/line/run_stop.h"
#include "link/serial/port_names.h"
#include "link/serial/serial_port.h"
#include "platform/process_state.h"

// A COM port opened for overlapped I/O. Every wait is one WaitForMultipleObjects
// on the operation's event and the stop event, against the program's own
// deadline; a read that must end early is cancelled (CancelIoEx). The
// read time-outs are interval ones only, which every driver (and Wine)
// honours: the program's deadline, not the driver, ends a silent wait.

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;

HANDLE Handle(void* h) {
    return static_cast<HANDLE>(h);
}

std::wstring Wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

void BusyWait(float milliseconds) {
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double, std::milli>(milliseconds));
    while (Clock::now() < until) {
    }
}

BYTE ParityOf(int scheme) {
    switch (scheme) {
        case SCHEME_EVEN:
            return EVENPARITY;
        case SCHEME_ODD:
            return ODDPARITY;
        case SCHEME_MARK:
            return MARKPARITY;
        case SCHEME_SPACE:
            return SPACEPARITY;
        default:
            return NOPARITY;
    }
}

bool Gone(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
           error == ERROR_DEVICE_REMOVED || error == ERROR_GEN_FAILURE ||
           error == ERROR_INVALID_HANDLE || error == ERROR_DEV_NOT_EXIST;
}

}  // namespace

bool SerialPort::IsOpen() const {
    return handle_ != nullptr;
}

SerialPort::~SerialPort() {
    CloseDevice();
}

void SerialPort::CloseDevice() {
    if (handle_) CloseHandle(Handle(handle_));
    if (readDone_) CloseHandle(Handle(readDone_));
    if (writeDone_) CloseHandle(Handle(writeDone_));
    handle_ = readDone_ = writeDone_ = nullptr;
}

int SerialPort::Open() {
    CloseDevice();  // an open port is opened anew
    timings_ = LineTimings{};
    openFailure_.clear();
    const std::string path = PortDevicePath(settings.name);
    // Share mode 0: the port is this program's alone.
    HANDLE port = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        openFailure_ = DescribeOpenFailure(path, static_cast<int>(GetLastError()));
        return OPEN_CANNOT_OPEN;
    }
    handle_ = port;
    readDone_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeDone_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (auto refused = RefuseSettings(settings, true)) {
        return Refuse(refused->result, refused->reason);
    }

    // Every field the line needs is set below: a driver that cannot report
    // its state (Wine's, on a pseudo-terminal) starts from nothing.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) {
        dcb = DCB{};
        dcb.DCBlength = sizeof dcb;
    }
    const bool parity = HasParity(settings);
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = static_cast<BYTE>(settings.byteSize);
    dcb.Parity = ParityOf(settings.parityScheme);
    dcb.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = parity;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;  // keyed by hand for a semi-automatic converter
    dcb.fOutX = dcb.fInX = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(port, &dcb)) {
        if (GetLastError() == ERROR_INVALID_FUNCTION || GetLastError() == ERROR_NOT_SUPPORTED)
            return Refuse(OPEN_UNSUPPORTED, "Устройство " + path + " не последовательный порт.");
        return Refuse(OPEN_SETTINGS_REFUSED, "Порт " + path + " не принимает настройки (скорость " +
                                                 std::to_string(settings.baudRate) + " бод).");
    }
    // A driver may take a speed it cannot make and keep another: the program
    // would then talk at a speed it does not know of.
    DCB taken{};
    taken.DCBlength = sizeof taken;
    if (GetCommState(port, &taken) && taken.BaudRate != settings.baudRate) {
        return Refuse(OPEN_UNSUPPORTED, "Порт " + path + " не поддерживает скорость " +
                                            std::to_string(settings.baudRate) + " бод (работает на " +
                                            std::to_string(taken.BaudRate) + ").");
    }
    // A read ends 1 ms after its last byte or after 50 ms of silence; the
    // transfer's own deadline decides how long to go on.
    COMMTIMEOUTS timeouts{1, 0, 50, 0, 0};
    if (!SetCommTimeouts(port, &timeouts)) {
        return Refuse(OPEN_TIMEOUTS_REFUSED, "Порт " + path + " не принимает тайм-ауты чтения.");
    }
    SetupComm(port, 4096, 4096);
    protocolMode_ = processState().ProtocolMode.load();
    timings_ = ComputeLineTimings(settings.baudRate, parity, settings.stopBits == 2, protocolMode_);
    Purge(2);
    return OPEN_OK;
}

int SerialPort::Refuse(int result, std::string reason) {
    openFailure_ = std::move(reason);
    CloseDevice();
    return result;
}

int SerialPort::Close() {
    if (!handle_) return -2;
    const int purged = Purge(2);
    CloseDevice();
    return purged == 0 ? 0 : -1;
}

int SerialPort::Purge(int kind) {
    if (!handle_) return -2;
    const DWORD flags[] = {PURGE_RXCLEAR | PURGE_RXABORT, PURGE_TXCLEAR | PURGE_TXABORT,
                           PURGE_RXCLEAR | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_TXABORT};
    if (kind < 0 || kind > 2) return 0;
    return PurgeComm(Handle(handle_), flags[kind]) ? 0 : -1;
}

bool SerialPort::LineErrorsGrew() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(Handle(handle_), &errors, &status)) return false;
    return (errors & (CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_RXOVER | CE_BREAK)) != 0;
}

// Waits for an overlapped operation: TRANSFER_OK with `done` bytes, or
// TRANSFER_ABORTED (stop), TRANSFER_TIMEOUT (deadline; the operation is
// cancelled either way), or the device gone.
int SerialPort::Wait(void* operation, std::size_t& done,
                     std::chrono::steady_clock::time_point deadline) {
    auto* o = static_cast<OVERLAPPED*>(operation);
    const int woke = WaitOnLine(stopEvent, Event::Remaining(deadline), o->hEvent);
    DWORD n = 0;
    if (woke != 1) {
        CancelIoEx(Handle(handle_), o);
        GetOverlappedResult(Handle(handle_), o, &n, TRUE);
        done = n;
        return woke == 0 ? TRANSFER_ABORTED : TRANSFER_TIMEOUT;
    }
    if (!GetOverlappedResult(Handle(handle_), o, &n, FALSE)) {
        const DWORD error = GetLastError();
        if (Gone(error)) return LineGone(static_cast<int>(error));
        done = 0;
        return TRANSFER_OK;
    }
    done = n;
    return TRANSFER_OK;
}

int SerialPort::WriteAll(std::string_view bytes) {
    while (!bytes.empty()) {
        OVERLAPPED o{};
        o.hEvent = Handle(writeDone_);
        ResetEvent(o.hEvent);
        DWORD n = 0;
        if (!WriteFile(Handle(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &n, &o)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) return LineGone(static_cast<int>(error));
            std::size_t done = 0;
            const int waited = Wait(&o, done, Clock::now() + std::chrono::seconds(10));
            if (waited != TRANSFER_OK) return waited;
            n = static_cast<DWORD>(done);
        }
        bytes.remove_prefix(std::min<std::size_t>(n, bytes.size()));
    }
    return TRANSFER_OK;
}

// A semi-automatic converter sends while RTS is on. A driver that cannot key
// RTS (a virtual port) answers no; the frame goes out all the same, as on
// the other systems.
int SerialPort::Send(std::string_view frame) {
    if (directionMode.load() != 0) return WriteAll(frame);
    EscapeCommFunction(Handle(handle_), SETRTS);
    for (const char byte : frame) {
        if (const int sent = WriteAll(std::string_view(&byte, 1)); sent != TRANSFER_OK) return sent;
        BusyWait(timings_.characterTime);
    }
    EscapeCommFunction(Handle(handle_), CLRRTS);
    return TRANSFER_OK;
}

int SerialPort::Receive(std::string& reply, std::size_t echoLength) {
    const bool rtu = protocolMode_ == PROTOCOL_MODBUS_RTU;
    auto deadline = Clock::now() + std::chrono::milliseconds(ReplyWait(timings_.replyTimeout));
    for (;;) {
        if (Clock::now() >= deadline) return (rtu && !reply.empty()) ? TRANSFER_OK : TRANSFER_TIMEOUT;
        char buffer[256];
        OVERLAPPED o{};
        o.hEvent = Handle(readDone_);
        ResetEvent(o.hEvent);
        DWORD n = 0;
        std::size_t done = 0;
        if (ReadFile(Handle(handle_), buffer, sizeof buffer, &n, &o)) {
            done = n;
        } else if (const DWORD error = GetLastError(); error != ERROR_IO_PENDING) {
            return LineGone(static_cast<int>(error));
        } else if (const int waited = Wait(&o, done, deadline); waited != TRANSFER_OK) {
            if (waited != TRANSFER_TIMEOUT) return waited;
            if (done == 0) return (rtu && !reply.empty()) ? TRANSFER_OK : TRANSFER_TIMEOUT;
        }
        if (done == 0) continue;
        if (LineErrorsGrew()) return TRANSFER_LINE_ERROR;
        const ReplyBytes taken = TakeReplyBytes(std::string_view(buffer, done), echoLength, reply);
        if (taken == ReplyBytes::None) continue;
        if (rtu) {
            deadline = Clock::now() + std::chrono::milliseconds(timings_.rtuSilence);
        } else if (taken == ReplyBytes::Ended) {
            return TRANSFER_OK;
        }
    }
}

int SerialPort::LineGone(int error) {
    openFailure_ = "Порт " + PortDevicePath(settings.name) +
                   (error == ERROR_DEVICE_REMOVED || error == ERROR_DEV_NOT_EXIST
                        ? " исчез из системы"
                        : " отключился (обрыв связи)") +
                   ": связь с прибором потеряна.";
    CloseDevice();
    return TRANSFER_LINE_GONE;
}

int SerialPort::Transfer(std::string_view frame, std::string& reply) {
    reply.clear();
    const bool openedHere = !handle_;
    if (openedHere && Open() != OPEN_OK) return TRANSFER_LINE_GONE;
    int result = TRANSFER_ABORTED;
    if (handle_) {
        Purge(2);
        LineErrorsGrew();  // what was counted before this exchange is not its fault
        result = Send(frame);
        if (result == TRANSFER_OK) result = Receive(reply, echoSuppression ? frame.size() : 0);
    }
    if (openedHere) CloseDevice();
    return result;
}

}  // namespace zep8
