#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/parameter.h"
#include "model/transfer_session.h"
#include "platform/event.h"
#include "platform/recording_prompter.h"

namespace zep8::testing {

// A device session that records which parameters were read, written or
// compared and answers with scripted statuses.
class FakeSession : public TransferSession {
  public:
    int ReadParameter(Parameter& p) override { return Record("read", p); }
    int WriteParameter(Parameter& p) override { return Record("write", p); }
    int CompareParameter(Parameter& p) override { return Record("compare", p); }
    const Event& AbortEvent() const override { return abort; }
    void AddToCounter(ProgressCounter counter, int n) override { counters[counter] += n; }
    Prompter& GetPrompter() override { return prompter; }

    // "name:index" for indexed parameters, else the name.
    static std::string Label(const Parameter& p) {
        return p.indexed ? p.name + ":" + std::to_string(p.index) : p.name;
    }

    Event abort{Event::Reset::Manual};
    RecordingPrompter prompter;
    std::vector<std::string> calls;       // "read in-t:3"
    std::map<std::string, int> statuses;  // label -> status; 0 when absent
    std::map<ProgressCounter, int> counters;
    std::function<void(const Parameter&)> onCall;  // runs after each exchange

  private:
    int Record(const char* what, Parameter& p) {
        calls.push_back(std::string(what) + " " + Label(p));
        if (onCall) onCall(p);
        auto it = statuses.find(Label(p));
        return it == statuses.end() ? 0 : it->second;
    }
};

}  // namespace zep8::testing
