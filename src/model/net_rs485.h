#pragma once

#include <string_view>

#include "model/invisible_element.h"

namespace zep8 {

// The module's network settings.
class NetRS485 : public InvisibleElement {
  public:
    NetRS485() { caption = "Сетевые параметры прибора"; }
    std::string_view GetRuntimeClass() const override { return "NetRS485"; }
    void InitParameters() override;
    int GetImage() const override { return 4; }
    std::string GetTypeName() const override { return "Сеть RS-485"; }

    // Whether `newValue` for parameter `name` leaves a character format the
    // module supports (data bits, stop bits, parity).
    bool IsFormatAllowed(std::string_view name, std::string_view newValue) const;
    // Whether it leaves an address the address length and protocol allow.
    bool IsAddressingAllowed(std::string_view name, std::string_view newValue) const;

  protected:
    // Speed, character format and address: what the module and the program share.
    void CreateLinkParameters();
};

// What the tree-list says when one of the checks above refuses a value.
inline constexpr std::string_view kRefusedValueCaption = "Неудалось изменить значение";
inline constexpr std::string_view kFormatRefusedText =
    "Заданные сетевые настройки не поддерживаются прибором!";
inline constexpr std::string_view kAddressingRefusedText =
    "Запрещенные комбинации сетевых параметров:\n"
    "1) Нельзя чтобы адрес был >255 если длинна адреса 8 бит;\n"
    "2) При работе прибора на протоколах, отличных от \"АРВО\", адрес не должен быть больше "
    "255;\n"
    "3) При работе прибора на протоколе АРВО адрес должен быть кратен числу 8.";

}  // namespace zep8
