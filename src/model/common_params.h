#pragma once

#include "model/invisible_element.h"
#include "platform/program_info.h"

namespace zep8 {

// The program's own service rows: version, copyright, operating system.
class CommonParams : public InvisibleElement {
  public:
    explicit CommonParams(ProgramInfo info = CurrentProgramInfo()) : info_(std::move(info)) {
        caption = GetTypeName();
    }
    std::string_view GetRuntimeClass() const override { return "CommonParams"; }
    void InitParameters() override;
    int GetImage() const override { return 20; }
    std::string GetTypeName() const override { return "Сервисные параметры программы"; }

  private:
    ProgramInfo info_;
};

}  // namespace zep8
