#include "ops/device/single_point.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "model/catalogue.h"
#include "model/name_hash.h"
#include "model/number_text.h"
#include "ops/device/device.h"
#include "platform/prompter.h"
#include "platform/text.h"

namespace zep8 {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string TypeText(const ParamDescriptor& d) {
    switch (d.type) {
        case PT_DECIMAL: {
            std::string text = "дробное число";
            if (d.min != d.max)
                text += " от " + FormatFixed(d.min, 6) + " до " + FormatFixed(d.max, 6);
            return text;
        }
        case PT_INTEGER: {
            std::string text = "целое число";
            if (d.min != d.max) {
                text += " от " + std::to_string(static_cast<long>(d.min)) + " до " +
                        std::to_string(static_cast<long>(d.max));
            }
            return text;
        }
        case PT_ASCII:
            return "сторка";
        case PT_ENUM:
            return "фиксированный набор значений";
        default:
            return "неизвестный тип";
    }
}

SinglePoint::SinglePoint(Device& device) : device_(device) {}

void SinglePoint::Open() {
    Refresh();
    std::set<std::string> names;
    const ObjectWithParameters* nodes[] = {&device_.commonNode, &device_.netNode,
                                           &device_.channelsNode, &device_.channelsNode.channel(0)};
    for (const ObjectWithParameters* node : nodes) {
        for (const auto& p : node->parameters()) names.insert(Upper(p->name));
    }
    names_.assign(names.begin(), names.end());
}

void SinglePoint::SetName(const std::string& name) {
    name_ = Upper(name);  // the name field keeps its text in upper case
    Refresh();
}

void SinglePoint::Refresh() {
    if (name_.empty()) return;
    const Parameter parameter(name_);
    const ParamDescriptor d = GetDescriptor(name_);
    char hash[16];
    std::snprintf(hash, sizeof hash, "0x%X", hash_name(name_));
    hashText_ = hash;
    description_ = parameter.title + " (" + TypeText(d) + ")";
    if (d.type > PT_NONE) indexFlag = parameter.indexed;
    valueItems_.clear();
    if (d.type == PT_ENUM) {
        valueItems_ = d.items;
        std::sort(valueItems_.begin(), valueItems_.end());
    }
}

void SinglePoint::Execute() {
    std::optional<Request> request = Begin();
    if (!request) return;
    Transfer(device_, *request);
    End(*request);
}

std::optional<SinglePoint::Request> SinglePoint::Begin() {
    log_.clear();
    Request request{Parameter(name_), mode_ == kRead ? DIRECTION_READ : DIRECTION_WRITE, {}};
    Parameter& parameter = request.parameter;
    log_.push_back(name_ + " (" + parameter.title + ")");
    if (mode_ == kWrite) parameter.value = valueText;

    Prompter& prompter = device_.prompter();
    if (parameter.indexed != indexFlag) {
        const char* text = parameter.indexed ? "Данная комманда должна иметь линейный индекс"
                                             : "Данная комманда не должна иметь линейный индекс";
        if (prompter.ask(text, "Предупреждение", Buttons::OkCancel, Icon::Warning) != Answer::Ok) {
            return std::nullopt;
        }
    }
    if (indexFlag) {
        parameter.indexed = true;
        const std::optional<long long> index = ReadInteger(indexText);
        parameter.index = index ? static_cast<int>(*index) : 0;
    }
    return request;
}

void SinglePoint::Transfer(Device& device, Request& request) {
    device.TransferParameter(request.direction, &request.parameter, &request.trace);
}

void SinglePoint::End(const Request& request) {
    const Parameter& parameter = request.parameter;
    log_.insert(log_.end(), request.trace.begin(), request.trace.end());
    if (!parameter.errorText.empty()) {
        log_.push_back("Имеет место ошибка:");
        log_.push_back(parameter.errorText);
    } else if (request.direction == DIRECTION_WRITE) {
        log_.push_back("Нет ошибок; значение записано.");
    } else {
        log_.push_back("Нет ошибок; строковая нотация ответа:");
        log_.push_back(parameter.value);
    }
}

}  // namespace zep8
