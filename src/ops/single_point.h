#pragma once

#include <string>
#include <vector>

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
    // "Выполнить!"
    void Execute();

    std::string valueText;   // "Что записать:"
    bool indexFlag = false;  // "Наличие лин-го индекса:"
    std::string indexText = "0";

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
