#pragma once

// Reading or writing one parameter by name, with the exchange's bytes: the
// engine of the single-point dialog.

#include <optional>
#include <string>
#include <vector>

#include "link/exchange/device_io.h"
#include "model/parameter.h"

namespace zep8 {

class Device;
struct ParamDescriptor;

// Reading or writing any one parameter by its name, with or without a linear
// index, and the bytes of the exchange (the single-point dialog without its
// widgets: the fields are the dialog's, the dialog only shows them).
class SinglePoint {
  public:
    static constexpr int kRead = 0;
    static constexpr int kWrite = 1;

    explicit SinglePoint(Device& device);

    // The state of a fresh dialog: "VER" refreshed, the name list filled.
    void Open();
    // An edit of the name field (or a name chosen from its list).
    void SetName(const std::string& name);
    void SetMode(int mode) { mode_ = mode; }
    // "Выполнить!", start to end on the calling thread.
    void Execute();

    // "Выполнить!" in three parts, for a dialog that keeps its window going
    // during the exchange. Begin (the fields' thread) asks what the fields
    // leave open and gives the exchange, none when the operator declined it;
    // Transfer runs it on any thread, touching nothing of this object; End
    // (the fields' thread again) lists it.
    struct Request {
        Parameter parameter;
        int direction = DIRECTION_READ;
        TraceLog trace;
    };
    std::optional<Request> Begin();
    static void Transfer(Device& device, Request& request);
    void End(const Request& request);

    std::string valueText;   // "Что записать:"
    bool indexFlag = false;  // "Наличие лин-го индекса:"
    std::string indexText = "0";

    Device& device() { return device_; }
    const std::string& name() const { return name_; }
    const std::string& hashText() const { return hashText_; }
    const std::string& description() const { return description_; }
    int mode() const { return mode_; }
    bool valueFieldVisible() const { return mode_ == kWrite; }
    // The name list (sorted, upper case) and the value list of an enumeration (sorted).
    const std::vector<std::string>& names() const { return names_; }
    const std::vector<std::string>& valueItems() const { return valueItems_; }
    // "Протокол обмена данными с прибором:"
    const std::vector<std::string>& log() const { return log_; }

  private:
    void Refresh();

    Device& device_;
    std::string name_ = "VER";
    std::string hashText_;
    std::string description_ = "Описание параметра";
    int mode_ = kRead;
    std::vector<std::string> names_;
    std::vector<std::string> valueItems_;
    std::vector<std::string> log_;
};

// "сторка", "целое число от 0 до 2047" and so on: what a value of that kind is.
std::string TypeText(const ParamDescriptor& descriptor);

}  // namespace zep8
