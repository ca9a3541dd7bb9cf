#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/parameter.h"
#include "model/transfer_session.h"

namespace zep8 {

class Prompter;

// A node of the configuration tree: an ordered list of owned parameters. The
// order is that of the rows, of the bulk walks and of the file.
class ObjectWithParameters {
  public:
    using ParameterList = std::vector<std::unique_ptr<Parameter>>;

    // SetValue results.
    enum : int { SET_NOT_FOUND = 0, SET_PARAMETER = 1, SET_CAPTION = 3 };

    ObjectWithParameters() = default;
    virtual ~ObjectWithParameters() = default;
    ObjectWithParameters(const ObjectWithParameters&) = delete;
    ObjectWithParameters& operator=(const ObjectWithParameters&) = delete;

    virtual std::string_view GetRuntimeClass() const { return "ObjectWithParameters"; }

    // Deletes every parameter; concrete nodes then create their own list.
    virtual void InitParameters();
    virtual std::string GetValue(std::string_view name) const;
    virtual int SetValue(std::string_view name, std::string_view text, bool mark);
    virtual TransferCounts CompareElement(TransferSession& session);
    virtual TransferCounts ReadElement(TransferSession& session);
    virtual TransferCounts WriteElement(TransferSession& session, bool all);
    // The node's linear index, or the first index of its indexed parameters;
    // warns about parameters whose index differs.
    virtual int GetCommonIndex(Prompter& prompter) const;
    virtual void SetCommonIndex(int index);
    // 2 when `parameter` is one of ours (but "Prot") and waits to be written; else 0.
    virtual int GetChangeState(const Parameter* parameter) const;
    virtual void ResetValues();

    // Makes this node's list a copy of `other`'s, values, flags and errors
    // alike: work on another module uses such a copy, never the open one.
    void CopyParametersFrom(const ObjectWithParameters& other);
    Parameter* FindParameter(std::string_view name) const;
    void ClearChangeFlags();
    void MarkRestored();
    void ClearValues();

    const ParameterList& parameters() const { return parameters_; }
    int commonIndex() const { return commonIndex_; }
    // Counts the times the parameter list was made anew or grew, so that a
    // view can tell its rows still point at this list's parameters.
    unsigned listGeneration() const { return listGeneration_.load(); }

  protected:
    Parameter& AddParameter(std::string_view name);
    // The plain loops, without abort-on-entry checks or group counting.
    TransferCounts CompareLoop(TransferSession& session);
    TransferCounts ReadLoop(TransferSession& session);
    TransferCounts WriteLoop(TransferSession& session, bool all);

  private:
    template <typename Operation>
    TransferCounts Walk(TransferSession& session, Operation operation);

    ParameterList parameters_;
    std::atomic<unsigned> listGeneration_{0};
    int commonIndex_ = -1;
};

}  // namespace zep8
