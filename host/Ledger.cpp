// Allocation ledger of the stand-in host.
#include "Ledger.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace Hostsim {

const char* allocationKindName(AllocationKind kind) {
    switch (kind) {
    case AllocationKind::Array:
        return "array";
    case AllocationKind::WideString:
        return "wide string";
    case AllocationKind::StringArray:
        return "string array";
    case AllocationKind::Tessellation:
        return "tessellation";
    case AllocationKind::TessellationInput:
        return "tessellation input";
    case AllocationKind::GeomitemData:
        return "geometry item data";
    case AllocationKind::FacetVertices:
        return "facet vertices";
    }
    return "?";
}

Ledger::~Ledger() {
    reset();
}

void* Ledger::allocate(AllocationKind kind, const std::string& function, std::size_t elementSize,
                       std::size_t count) {
    std::size_t bytes = elementSize * count;
    void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (block == nullptr) {
        return nullptr;
    }
    Allocation a{kind, function, elementSize, count, {}, nullptr, {}};
    live_[block] = std::move(a);
    released_.erase(block);
    ++handedOut_;
    return block;
}

void* Ledger::adopt(AllocationKind kind, const std::string& function, void* object,
                    void (*destroy)(void*)) {
    Allocation a{kind, function, 0, 1, {}, destroy, {}};
    live_[object] = std::move(a);
    released_.erase(object);
    ++handedOut_;
    return object;
}

wchar_t* Ledger::allocateWideString(const std::string& function, const std::wstring& text) {
    auto* block = static_cast<wchar_t*>(
        allocate(AllocationKind::WideString, function, sizeof(wchar_t), text.size() + 1));
    if (block != nullptr) {
        std::wmemcpy(block, text.c_str(), text.size() + 1);
    }
    return block;
}

void Ledger::setMessageKey(const void* block, std::string key) {
    auto it = live_.find(block);
    if (it != live_.end()) {
        it->second.messageKey = std::move(key);
    }
}

char** Ledger::allocateStringArray(const std::string& function,
                                   const std::vector<std::string>& texts) {
    auto** array = static_cast<char**>(
        allocate(AllocationKind::StringArray, function, sizeof(char*), texts.size()));
    if (array == nullptr) {
        return nullptr;
    }
    Allocation& a = live_[array];
    for (std::size_t i = 0; i < texts.size(); ++i) {
        auto* s = static_cast<char*>(std::calloc(texts[i].size() + 1, 1));
        std::memcpy(s, texts[i].c_str(), texts[i].size() + 1);
        array[i] = s;
        a.parts.push_back(s);
    }
    return array;
}

ProErrors Ledger::release(AllocationKind kind, void* block, const std::string& function,
                          std::size_t expectedCount) {
    std::ostringstream problem;
    auto it = live_.find(block);
    if (block == nullptr) {
        problem << function << ": null pointer";
    } else if (it == live_.end()) {
        auto was = released_.find(block);
        if (was != released_.end()) {
            problem << function << ": second release of a " << was->second;
        } else {
            problem << function << ": pointer the host never handed out";
        }
    } else if (it->second.kind != kind) {
        problem << function << ": a " << allocationKindName(it->second.kind) << " from "
                << it->second.function << " released as a " << allocationKindName(kind);
    } else if (expectedCount != static_cast<std::size_t>(-1) && expectedCount != it->second.count) {
        problem << function << ": count " << expectedCount << " for a " << allocationKindName(kind)
                << " of " << it->second.count << " from " << it->second.function;
    } else {
        released_[block] = std::string(allocationKindName(kind)) + " from " + it->second.function;
        Allocation a = std::move(it->second);
        live_.erase(it);
        destroyBlock(block, a);
        return PRO_TK_NO_ERROR;
    }
    violations_.push_back(problem.str());
    return PRO_TK_BAD_INPUTS;
}

const Allocation* Ledger::find(const void* block) const {
    auto it = live_.find(block);
    return it == live_.end() ? nullptr : &it->second;
}

const Allocation* Ledger::find(const void* block, AllocationKind kind) const {
    const Allocation* a = find(block);
    return a != nullptr && a->kind == kind ? a : nullptr;
}

std::string Ledger::report() const {
    std::ostringstream out;
    for (const auto& [block, a] : live_) {
        out << "outstanding " << allocationKindName(a.kind) << " from " << a.function << '\n';
    }
    for (const std::string& v : violations_) {
        out << "violation: " << v << '\n';
    }
    return out.str();
}

void Ledger::destroyBlock(void* block, Allocation& a) {
    for (void* part : a.parts) {
        std::free(part);
    }
    if (a.destroy != nullptr) {
        a.destroy(block);
    } else {
        std::free(block);
    }
}

void Ledger::reset() {
    for (auto& [block, a] : live_) {
        destroyBlock(const_cast<void*>(block), a);
    }
    live_.clear();
    released_.clear();
    violations_.clear();
}

} // namespace Hostsim
