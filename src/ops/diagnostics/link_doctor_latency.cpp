// The doctor's timing: the exchange measured against the wire's own time, and
// a USB adapter's latency timer left at its default, which holds every reply
// back and which the virtual line never shows.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "link/exchange/frame_codec.h"
#include "link/line/line_timings.h"
#include "link/serial/port_details.h"
#include "link/serial/port_names.h"
#include "model/number_text.h"
#include "ops/diagnostics/link_doctor.h"
#include "platform/text.h"

namespace zep8 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kDevReplyData = 5;  // "ZEP-8"
// A USB adapter's latency timer (16 ms) and the scheduler on top of the frames.
constexpr int kSystemMarginMs = 30;
constexpr int kRoundTrips = 5;

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

void LinkDoctor::MeasureRoundTrip() {
    const int address = line_.settings.baseAddress;
    const std::optional<std::string> delayText = ReadText("RS.dL", address);
    const double delay = delayText ? ReadNumber(*delayText).value : 0;
    double best = 1e9, total = 0;
    std::size_t replyData = 0;
    int done = 0;
    for (int i = 0; i < kRoundTrips && !Aborted(); ++i) {
        const auto sent = Clock::now();
        const Reply reply = Ask("dev", address);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        if (reply.outcome != Outcome::Answer) continue;
        replyData = reply.data.size();
        best = std::min(best, ms);
        total += ms;
        ++done;
    }
    if (done == 0) {
        Say("Время обмена не измерено: прибор перестал отвечать.");
        return;
    }
    const double frames = ExchangeWireMs(line_.settings, replyData);
    Say("Время обмена (запрос \"dev\" и ответ, " + std::to_string(done) + " раз): в среднем " +
        FormatFixed(total / done, 1) + " мс, лучшее " + FormatFixed(best, 1) +
        " мс; нижняя граница линии " + FormatFixed(frames + delay, 1) + " мс (кадры " +
        FormatFixed(frames, 1) + " мс и задержка ответа " + FormatFixed(delay, 0) + " мс).");
    if (best < frames / 2) {
        Say("Ответ пришёл быстрее, чем кадры прошли бы по линии: этот порт не передаёт данные с "
            "заданной скоростью (виртуальная линия).");
    } else if (best > frames + delay + kSystemMarginMs) {
        Say("Обмен заметно медленнее линии: проверьте задержку USB-адаптера (latency_timer) и "
            "задержку ответа прибора RS.dL.");
    }
}

}  // namespace zep8
