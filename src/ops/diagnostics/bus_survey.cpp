#include "ops/diagnostics/bus_survey.h"

#include <algorithm>
#include <cstdlib>

#include "link/exchange/device_io.h"
#include "link/line/line_timings.h"
#include "model/catalogue.h"
#include "model/net_rs485_prg.h"
#include "model/parameter.h"

namespace zep8 {
namespace {

std::string Decoded(std::string_view name, const std::vector<std::uint8_t>& data) {
    Parameter p(name);
    if (p.ConvertFromData(data.data(), data.size(), false) == MyConverter::CONVERT_FAILED)
        return "?";
    return p.value;
}

std::string LineFormat(const PortSettings& s) {
    const char parity = s.parityScheme == SCHEME_EVEN  ? 'E'
                        : s.parityScheme == SCHEME_ODD ? 'O'
                                                       : 'N';
    return std::to_string(s.byteSize) + parity + std::to_string(s.stopBits);
}

}  // namespace

std::vector<int> BusSurvey::BaseAddresses(int addressLength) {
    const int end = addressLength == 11 ? 2048 : 256;
    std::vector<int> addresses;
    for (int a = 0; a < end; a += 8) addresses.push_back(a);
    return addresses;
}

std::vector<unsigned> BusSurvey::Speeds() {
    std::vector<unsigned> speeds;
    for (const std::string& item : GetDescriptor("bPS").items)
        speeds.push_back(static_cast<unsigned>(std::strtoul(item.c_str(), nullptr, 10)));
    return speeds;
}

SurveyResult BusSurvey::Run(bool allSpeeds) {
    const unsigned programSpeed = io_.PortNow().settings.baudRate;
    std::vector<unsigned> speeds{programSpeed};
    if (allSpeeds) {
        // The program's speed first: the likeliest, and the one an operator waits for.
        for (unsigned speed : Speeds())
            if (speed != programSpeed) speeds.push_back(speed);
    }
    return RunAt(speeds);
}

SurveyResult BusSurvey::RunAt(const std::vector<unsigned>& speeds) {
    const auto start = std::chrono::steady_clock::now();
    SurveyResult result;
    // Every address at other speeds: the polls wait for the end.
    PollPause pause(io_.polls());
    const DeviceIO::PortState line = io_.PortNow();
    const unsigned programSpeed = line.settings.baudRate;
    const bool allSpeeds = speeds.size() != 1 || speeds.front() != programSpeed;
    const int perSpeed = static_cast<int>(BaseAddresses(line.settings.addressLength).size());
    const int total = perSpeed * static_cast<int>(speeds.size());

    const bool wasOpen = line.open;
    for (std::size_t i = 0; i < speeds.size() && !aborted_; ++i) {
        std::string reason;
        const bool opened =
            (allSpeeds || !wasOpen) ? io_.ReopenAtSpeed(speeds[i], &reason) == OPEN_OK : true;
        if (!opened) {
            result.failure = "Не удается открыть порт " + line.settings.name +
                             (reason.empty() ? "." : ": " + reason);
            break;
        }
        if (!Survey(speeds[i], result, perSpeed * static_cast<int>(i), total)) break;
    }
    // The program's own line again, as it was.
    if (allSpeeds || !wasOpen) io_.RestoreSpeed(programSpeed, wasOpen);
    result.aborted = aborted_;
    result.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return result;
}

int BusSurvey::ReplyWait(const PortSettings& s, int directionMode, unsigned baudRate) {
    return ProbeReplyWait(baudRate, HasParity(s), s.stopBits == 2, directionMode != 0);
}

bool BusSurvey::Survey(unsigned baudRate, SurveyResult& result, int done, int total) {
    const PortSettings s = io_.PortNow().settings;
    const int wait = ReplyWait(s, io_.port().directionMode.load(), baudRate);
    std::vector<std::uint8_t> reply;
    for (int address : BaseAddresses(s.addressLength)) {
        if (aborted_) return false;
        observer_.SurveyProgress(done++, total, baudRate);
        if (aborted_) return false;
        ++result.asked;
        result.lowerBound += std::chrono::milliseconds(wait);
        const DeviceIO::ProbeResult answer = io_.Probe(address, "dev", reply, wait);
        if (answer == DeviceIO::ProbeResult::Aborted) return false;
        if (answer == DeviceIO::ProbeResult::LineGone) {
            const std::string reason = io_.PortNow().failure;
            result.failure =
                reason.empty() ? "Порт " + s.name + " отключился во время поиска." : reason;
            return false;
        }
        if (answer != DeviceIO::ProbeResult::Answer &&
            answer != DeviceIO::ProbeResult::ErrorReply) {
            continue;
        }
        SurveyFind find;
        find.address = address;
        find.baudRate = baudRate;
        find.format = LineFormat(s);
        find.answeredAt = std::chrono::system_clock::now();
        find.device = answer == DeviceIO::ProbeResult::Answer ? Decoded("dev", reply) : "?";
        ++result.asked;
        find.version = io_.Probe(address, "ver", reply, wait) == DeviceIO::ProbeResult::Answer
                           ? Decoded("ver", reply)
                           : "?";
        result.finds.push_back(find);
        observer_.SurveyFound(find);
    }
    observer_.SurveyProgress(done, total, baudRate);
    return true;
}

void SurveyThread::Start(bool allSpeeds, std::function<void(const SurveyResult&)> finished) {
    if (running_) return;
    if (thread_.joinable()) thread_.join();
    survey_.Rearm();
    running_ = true;
    thread_ = std::thread([this, allSpeeds, finished = std::move(finished)] {
        const SurveyResult result = survey_.Run(allSpeeds);
        running_ = false;
        if (finished) finished(result);
    });
}

void SurveyThread::Stop() {
    survey_.Abort();
    if (thread_.joinable()) thread_.join();
}

void UseSurveyFind(const SurveyFind& find, NetRS485prg& program) {
    program.SetValue("Addr", std::to_string(find.address), true);
    program.SetValue("bPS", std::to_string(find.baudRate), true);
}

std::string SurveyFindText(const SurveyFind& find) {
    return "адрес " + std::to_string(find.address) + ", " + std::to_string(find.baudRate) +
           " бит/с: " + find.device + ", версия " + find.version;
}

}  // namespace zep8
