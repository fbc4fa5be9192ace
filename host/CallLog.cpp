// Call log and fault injection of the stand-in host.
#include "CallLog.h"

#include <sstream>
#include <stdexcept>

namespace Hostsim {

void CallLog::record(Call call) {
    if (recording_) {
        calls_.push_back(std::move(call));
    }
}

const std::vector<Call>& CallLog::calls() const {
    if (!everRecorded_) {
        throw std::logic_error("the call log is read but was never switched on "
                               "(Session::recordCalls)");
    }
    return calls_;
}

std::vector<std::string> CallLog::functions() const {
    std::vector<std::string> names;
    for (const Call& c : calls()) {
        names.push_back(c.function);
    }
    return names;
}

std::vector<std::string> CallLog::functions(const std::string& prefix) const {
    std::vector<std::string> names;
    for (const Call& c : calls()) {
        if (c.function.rfind(prefix, 0) == 0) {
            names.push_back(c.function);
        }
    }
    return names;
}

int CallLog::count(const std::string& function) const {
    int n = 0;
    for (const Call& c : calls()) {
        n += c.function == function ? 1 : 0;
    }
    return n;
}

int CallLog::indexOf(const std::string& function, int from) const {
    const std::vector<Call>& all = calls();
    for (std::size_t i = from < 0 ? 0 : static_cast<std::size_t>(from); i < all.size(); ++i) {
        if (all[i].function == function) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string CallLog::render() const {
    std::ostringstream out;
    for (const Call& c : calls()) {
        out << c.function;
        if (!c.item.empty()) {
            out << " [" << c.item << ']';
        }
        if (!c.detail.empty()) {
            out << ' ' << c.detail;
        }
        if (c.injected) {
            out << " -> injected " << *c.injected;
        }
        out << '\n';
    }
    return out.str();
}

void Faults::always(const std::string& function, ProErrors status) {
    faults_.push_back({Mode::Always, function, {}, 0, 0, status});
}

void Faults::onCall(const std::string& function, int n, ProErrors status) {
    faults_.push_back({Mode::OnCall, function, {}, n, 0, status});
}

void Faults::forItem(const std::string& function, const std::string& item, ProErrors status) {
    faults_.push_back({Mode::ForItem, function, item, 0, 0, status});
}

std::optional<ProErrors> Faults::check(const std::string& function, const std::string& item) {
    std::optional<ProErrors> result;
    for (Fault& f : faults_) {
        if (f.function != function) {
            continue;
        }
        ++f.seen;
        bool hit = (f.mode == Mode::Always) || (f.mode == Mode::OnCall && f.seen == f.n) ||
                   (f.mode == Mode::ForItem && f.item == item);
        if (hit && !result) {
            result = f.status;
        }
    }
    return result;
}

} // namespace Hostsim
