// The doctor on USB adapters: a latency timer left at its default holds
// every reply back, which the virtual line never shows.
#include <cmath>

#include "link/frame_codec.h"
#include "link/line_timings.h"
#include "link/port_details.h"
#include "link/port_names.h"
#include "ops/diagnostics/link_doctor.h"
#include "platform/text.h"

namespace zep8 {
namespace {

constexpr std::size_t kDevReplyData = 5;  // "ZEP-8"

// "раз" or "раза" after a whole number: в 2 раза, в 5 раз, в 22 раза.
std::string Times(long n) {
    const long lastTwo = n % 100, last = n % 10;
    return last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14) ? "раза" : "раз";
}

}  // namespace

double LinkDoctor::ExchangeWireMs(const PortSettings& s, std::size_t replyData) {
    const LineTimings t =
        ComputeLineTimings(s.baudRate, s.parityScheme != SCHEME_NONE, s.stopBits == 2, 0);
    const int requestChars = 1 + 2 * static_cast<int>(kFrameOverhead) + 1;
    const int replyChars = 1 + 2 * static_cast<int>(kFrameOverhead + replyData) + 1;
    return (requestChars + replyChars) * t.characterTime;
}

void LinkDoctor::ReportLatencyTimer() {
    const auto timer = ReadUsbLatencyTimer(PortDevicePath(setup_.settings.name), usbSerialDevices_);
    if (!timer) return;
    latencyFile_ = timer->file;
    latencyMs_ = timer->milliseconds;
    Say("Таймер задержки USB-адаптера (" + latencyFile_ + "): " + std::to_string(latencyMs_) +
        (latencyMs_ <= 1 ? " мс, ответы передаются без задержки." : " мс."));
}

void LinkDoctor::AdviseLatency(const PortSettings& s) {
    // The port asked for low latency when it opened: a timer still above
    // 1 ms is one the driver would not lower.
    if (latencyFile_.empty() || latencyMs_ <= 1) return;
    const double wire = ExchangeWireMs(s, kDevReplyData);
    const double ratio = latencyMs_ / wire;
    const long times = std::lround(ratio);
    const std::string cost =
        ratio >= 1.5
            ? "в " + std::to_string(times) + " " + Times(times) + " больше времени самого обмена"
            : FormatFixed(ratio * 100, 0) + " % времени самого обмена";
    Say("Адаптер задерживает каждый ответ до " + std::to_string(latencyMs_) +
        " мс, и уменьшить задержку при открытии порта не удалось: ≈" + std::to_string(latencyMs_) +
        " мс на каждый обмен, " + cost + " на " + std::to_string(s.baudRate) + " бит/с (" +
        FormatFixed(wire, 1) + " мс).");
    Say("Задержку 1 мс (до отключения адаптера) устанавливает команда: echo 1 | sudo tee " +
        latencyFile_);
}

}  // namespace zep8
