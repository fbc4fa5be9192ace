// Host arrays and strings, all recorded in the session's ledger.
#include "HostFunctions.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace Hostsim {

std::wstring wideFromNarrow(const char* text) {
    if (text == nullptr) {
        return {};
    }
#if defined(_WIN32)
    int length = static_cast<int>(std::char_traits<char>::length(text));
    if (length == 0) {
        return {};
    }
    int size = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_ACP, 0, text, length, out.data(), size);
    }
    return out;
#else
    return fromUtf8(text);
#endif
}

bool copyWide(wchar_t* out, std::size_t size, const std::wstring& text) {
    if (text.size() + 1 > size) {
        return false;
    }
    text.copy(out, text.size());
    out[text.size()] = L'\0';
    return true;
}

void copyWideCut(wchar_t* out, std::size_t size, const std::wstring& text) {
    std::size_t n = std::min(text.size(), size - 1);
    text.copy(out, n);
    out[n] = L'\0';
}

ProErrors HostFunctions::ProArrayAlloc(int count, int elementSize, int reallocStep,
                                       ProArray* array) {
    HOST_ENTER_DETAIL("", "count=" + std::to_string(count) + " size=" +
                              std::to_string(elementSize) + " step=" + std::to_string(reallocStep));
    if (array == nullptr || count < 0 || elementSize <= 0 || reallocStep <= 0) {
        return PRO_TK_BAD_INPUTS;
    }
    *array = session->ledger().allocate(AllocationKind::Array, __func__,
                                        static_cast<std::size_t>(elementSize),
                                        static_cast<std::size_t>(count));
    return *array != nullptr ? PRO_TK_NO_ERROR : PRO_TK_GENERAL_ERROR;
}

ProErrors HostFunctions::ProArraySizeGet(ProArray array, int* size) {
    HOST_ENTER("");
    const Allocation* a = session->ledger().find(array, AllocationKind::Array);
    if (a == nullptr) {
        session->ledger().recordViolation("ProArraySizeGet: not a live host array");
        return PRO_TK_BAD_INPUTS;
    }
    if (size == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *size = static_cast<int>(a->count);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProArrayFree(ProArray* array) {
    HOST_ENTER("");
    if (array == nullptr) {
        session->ledger().recordViolation("ProArrayFree: null address");
        return PRO_TK_BAD_INPUTS;
    }
    ProErrors status = session->ledger().release(AllocationKind::Array, *array, __func__);
    if (status == PRO_TK_NO_ERROR) {
        *array = nullptr;
    }
    return status;
}

ProErrors HostFunctions::ProStringarrayFree(char** array, int count) {
    HOST_ENTER_DETAIL("", "count=" + std::to_string(count));
    if (count < 0) {
        session->ledger().recordViolation("ProStringarrayFree: negative count");
        return PRO_TK_BAD_INPUTS;
    }
    return session->ledger().release(AllocationKind::StringArray, array, __func__,
                                     static_cast<std::size_t>(count));
}

ProErrors HostFunctions::ProWstringFree(wchar_t* text) {
    HOST_ENTER("");
    return session->ledger().release(AllocationKind::WideString, text, __func__);
}

} // namespace Hostsim
