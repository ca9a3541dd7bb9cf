// A parameter's read or write: the value exchange with the attribute
// exchanges around it, and the foreign protocols' return command in its place.
#include <algorithm>
#include <cstdio>
#include <optional>

#include "link/exchange/device_io.h"
#include "link/exchange/frame_codec.h"
#include "link/foreign/foreign_frame.h"
#include "link/foreign/foreign_status_text.h"
#include "model/name_hash.h"
#include "model/parameter.h"
#include "platform/codepage.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

std::string TraceByte(const char* arrow, std::size_t position, std::uint8_t byte) {
    char head[64];
    std::snprintf(head, sizeof head, "%s #%2i : %3i = 0x%2X (", arrow, static_cast<int>(position),
                  byte, byte);
    const std::string shown =
        byte < 32 ? "." : Cp1251ToUtf8(std::string(1, static_cast<char>(byte)));
    return head + shown + ")";
}

std::uint8_t AttributeByte(const Parameter& p) {
    return static_cast<std::uint8_t>((p.attrEditable ? 0x01 : 0) | (p.attrFactory ? 0 : 0x02));
}

void AppendIndex(std::vector<std::uint8_t>& data, int index) {
    data.push_back(static_cast<std::uint8_t>((index >> 8) & 0xFF));
    data.push_back(static_cast<std::uint8_t>(index & 0xFF));
}

// The value's data field of a write; a status other than STATUS_OK when
// nothing sensible can be sent (said in the error text and the log).
int ValueData(Parameter& p, std::vector<std::uint8_t>& data, TraceLog* log) {
    const int converted = p.ConvertToData(data);
    if (converted == MyConverter::CONVERT_NO_METHOD) {
        p.errorText = "Метод формирования посылки для команды '" + p.name + "' не определен.";
        if (log) log->push_back(p.errorText);
        return STATUS_NO_ENCODING;
    }
    if (converted == MyConverter::CONVERT_FAILED) {
        p.errorText = "Неверное значение (неудается закодировать данные)";
        if (log) log->push_back(p.errorText);
        return STATUS_CANNOT_ENCODE;
    }
    if (converted != MyConverter::CONVERT_OK && log) {
        log->push_back("Предупреждение: странный ответ от ConvertToData(...)");
    }
    return STATUS_OK;
}

}  // namespace

int DeviceIO::ExchangeAttributes(int direction, Parameter& p, const LinkTarget* target,
                                 bool* badReply, bool lastTry) {
    std::vector<std::uint8_t> data;
    if (direction == DIRECTION_WRITE) data.push_back(AttributeByte(p));
    if (p.indexed) {
        data.push_back(0x00);
        data.push_back(static_cast<std::uint8_t>(p.index & 0xFF));
    }
    const std::uint16_t hash = hash_name(p.name);
    data.push_back(static_cast<std::uint8_t>(hash >> 8));
    data.push_back(static_cast<std::uint8_t>(hash & 0xFF));

    std::vector<std::uint8_t> reply;
    const ExchangeResult result =
        ExchangeRequest(direction == DIRECTION_READ, kAttributesName, data, reply, p.errorText,
                        p.addressOffset, target, lastTry);
    p.timedOut = result == ExchangeResult::TimedOut;
    if (badReply) *badReply = result == ExchangeResult::BadReply;
    if (result != ExchangeResult::Done) return STATUS_ATTRIBUTES_FAILED;
    if (reply.size() != (p.indexed ? 5u : 3u)) {
        FailGarbled(p.errorText, "Ошибка атрибутов; размер ответа не совпадает с ожидаемым.\n",
                    target ? *target : LinkTarget{});
        return STATUS_ATTRIBUTE_SIZE;
    }
    p.attrEditable = (reply[0] & 0x01) != 0;
    p.attrFactory = (reply[0] & 0x02) == 0;
    p.attrChanged = false;
    p.pendingWrite = false;
    return STATUS_OK;
}

int DeviceIO::SendForeignCommand(Parameter* parameter) {
    const int mode = processState().ProtocolMode.load();
    std::vector<std::uint8_t> reply;
    int status;
    if (mode == PROTOCOL_DCON) {
        const std::vector<std::uint8_t> command(kDconReturnCommand.begin(),
                                                kDconReturnCommand.end());
        status = ExchangeForeignFrame(command, reply);
    } else {
        status = ExchangeForeignFrame(kModbusReturnCommand, reply);
        if (status == FOREIGN_OK &&
            !std::equal(reply.begin(), reply.end(), std::begin(kModbusReturnCommand),
                        std::end(kModbusReturnCommand))) {
            status = FOREIGN_MALFORMED;
        }
    }
    if (parameter) {
        parameter->errorText = ForeignStatusText(status);
        parameter->timedOut = status == FOREIGN_TIMEOUT;
    }
    return status;
}

int DeviceIO::TransferOnce(int direction, Parameter& p, TraceLog* log, const LinkTarget* target,
                           bool lastTry, bool& badAttributeReply) {
    p.errorText.clear();
    p.timedOut = false;

    // A locked parameter is unlocked for the value write and locked again
    // after it; on a failure it keeps the state it had. The module may be
    // unlocked by then, so the lock stays to be written: the next write
    // unlocks, writes and locks again.
    std::optional<bool> savedEditable;
    const bool savedPending = p.pendingWrite;
    if (p.hasAttributes) {
        if (!p.attrEditable && p.attrChanged) {
            savedEditable = p.attrEditable;
            p.attrEditable = true;
        }
        const int status = ExchangeAttributes(direction, p, target, &badAttributeReply, lastTry);
        if (status != STATUS_OK) {
            if (savedEditable) p.attrEditable = *savedEditable;
            return status;
        }
    }
    const auto keepLocked = [&] {
        if (!savedEditable) return;
        p.attrEditable = *savedEditable;
        p.attrChanged = true;
        p.pendingWrite = savedPending;
    };

    std::vector<std::uint8_t> data;
    if (direction == DIRECTION_WRITE) {
        if (const int status = ValueData(p, data, log); status != STATUS_OK) {
            keepLocked();
            return status;
        }
    }
    if (p.indexed) AppendIndex(data, p.index);
    if (log) {
        log->push_back("Размер инф-ой части посылки " + std::to_string(data.size()) + " байт");
        for (std::size_t i = 0; i < data.size(); ++i)
            log->push_back(TraceByte(">> Посылка:", i, data[i]));
    }

    std::vector<std::uint8_t> reply;
    const ExchangeResult result = ExchangeRequest(direction == DIRECTION_READ, p.name, data, reply,
                                                  p.errorText, p.addressOffset, target);
    p.timedOut = result == ExchangeResult::TimedOut;
    if (result != ExchangeResult::Done) {
        keepLocked();
        return STATUS_EXCHANGE_FAILED;
    }
    if (log) {
        for (std::size_t i = 0; i < reply.size(); ++i)
            log->push_back(TraceByte("<< Ответ:", i, reply[i]));
        log->push_back("Всего получено " + std::to_string(reply.size()) + " байт");
    }
    if (p.ConvertFromData(reply.data(), reply.size(), p.indexed) == MyConverter::CONVERT_FAILED) {
        p.errorText = "Не могу раскодировать ответ";
        p.value.clear();
        keepLocked();
        return STATUS_UNDECODABLE;
    }

    if (p.hasAttributes && savedEditable) {
        p.attrEditable = *savedEditable;
        if (const int status = ExchangeAttributes(direction, p, target, &badAttributeReply, lastTry);
            status != STATUS_OK) {
            keepLocked();
            return status;
        }
    }
    p.changed = p.attrChanged = p.pendingWrite = false;
    return STATUS_OK;
}

}  // namespace zep8
