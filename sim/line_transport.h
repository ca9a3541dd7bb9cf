#pragma once

#include <string>

namespace zep8::sim {

// What carries the virtual modules' line to the program: a pseudo-terminal,
// or a line inside the program itself.
class LineTransport {
  public:
    virtual ~LineTransport() = default;
    // Starts answering; false with a reason when the system refuses.
    virtual bool start(std::string& error) = 0;
    // Returns once no request is answered any more.
    virtual void stop() = 0;
    // The name the program opens as its port.
    virtual const std::string& portPath() const = 0;
};

}  // namespace zep8::sim
