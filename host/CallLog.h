// The call log (every toolkit call with its key arguments) and fault injection (make a function
// fail always, on its n-th call, or for one item).
//
// Item keys, as the log records them and as forItem() matches them:
//   model                 its name (UTF-8), e.g. "PART1"
//   item of a model       "<model>#<id>" (features, bodies, surfaces, geometry items, facet sets)
//   parameter             "<model>#<owner id>:<name>" (the owner id is 0 for the model itself)
//   facet / facet vertex  "<model>#<set id>.<facet index>"
//   component path        "<owner>/<id>/<id>..."
//   tessellation          the key of its surface
//   message functions     the message key; commands: the command name;
//   dialogs / components  "<dialog>" / "<dialog>.<component>"
// Functions without a natural item record an empty key.
#pragma once

#include "ProToolkit.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace Hostsim {

struct Call {
    std::string function;
    std::string item;
    std::string detail;                // further arguments worth checking, "name=value ..."
    std::optional<ProErrors> injected; // the status a fault made it return
};

// Off by default: a long session makes millions of calls, and only tests read them. A test that
// reads the log switches it on first (Session::recordCalls); reading a log that was never
// switched on throws std::logic_error, so a check such as "count is 0" cannot pass by accident.
class CallLog {
public:
    void setRecording(bool on) {
        recording_ = on;
        everRecorded_ = everRecorded_ || on;
    }
    bool recording() const { return recording_; }
    // Keeps the call while recording; drops it otherwise.
    void record(Call call);
    // The number of calls kept; 0 while the log was never switched on.
    std::size_t size() const { return calls_.size(); }

    const std::vector<Call>& calls() const;
    std::vector<std::string> functions() const;
    // Functions whose name starts with the prefix, in order ("ProMessage" ...).
    std::vector<std::string> functions(const std::string& prefix) const;
    int count(const std::string& function) const;
    // Position of the first call of `function` at or after `from`; -1 when none.
    int indexOf(const std::string& function, int from = 0) const;
    void clear() { calls_.clear(); }
    std::string render() const;

private:
    bool recording_ = false;
    bool everRecorded_ = false;
    std::vector<Call> calls_;
};

class Faults {
public:
    // Every call of the function returns the status.
    void always(const std::string& function, ProErrors status);
    // The n-th call (1 for the next one) counted from now returns the status.
    void onCall(const std::string& function, int n, ProErrors status);
    // Every call of the function for the item (see the keys above) returns the status.
    void forItem(const std::string& function, const std::string& item, ProErrors status);
    void clear() { faults_.clear(); }

    // Called once per host call; the injected status, if any.
    std::optional<ProErrors> check(const std::string& function, const std::string& item);

private:
    enum class Mode { Always, OnCall, ForItem };
    struct Fault {
        Mode mode;
        std::string function;
        std::string item;
        int n = 0;
        int seen = 0;
        ProErrors status = PRO_TK_GENERAL_ERROR;
    };
    std::vector<Fault> faults_;
};

} // namespace Hostsim
