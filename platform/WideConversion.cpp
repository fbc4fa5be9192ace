// wcstombs_s with the Microsoft runtime's contract, over the C library's current locale.
#include "Win32Api.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>

extern "C" errno_t wcstombs_s(std::size_t* pReturnValue, char* mbstr, std::size_t sizeInBytes,
                              const wchar_t* wcstr, std::size_t count) {
    if (pReturnValue != nullptr) {
        *pReturnValue = 0;
    }
    if (wcstr == nullptr || (mbstr == nullptr && sizeInBytes != 0) ||
        (mbstr != nullptr && sizeInBytes == 0)) {
        errno = EINVAL;
        return EINVAL;
    }
    const bool measureOnly = mbstr == nullptr;
    std::mbstate_t state{};
    std::size_t written = 0;
    bool truncated = false;
    char bytes[MB_LEN_MAX];
    for (const wchar_t* p = wcstr; *p != L'\0'; ++p) {
        std::size_t n = std::wcrtomb(bytes, *p, &state);
        if (n == static_cast<std::size_t>(-1)) {
            if (!measureOnly) {
                mbstr[0] = '\0';
            }
            errno = EILSEQ;
            return EILSEQ;
        }
        if (measureOnly) {
            written += n;
            continue;
        }
        // The count ends the conversion at a character boundary; so does a full buffer when
        // the caller asked for truncation.
        if (count != _TRUNCATE && written + n > count) {
            break;
        }
        if (written + n > sizeInBytes - 1) {
            if (count == _TRUNCATE) {
                truncated = true;
                break;
            }
            mbstr[0] = '\0';
            errno = ERANGE;
            return ERANGE;
        }
        std::memcpy(mbstr + written, bytes, n);
        written += n;
    }
    if (!measureOnly) {
        mbstr[written] = '\0';
    }
    if (pReturnValue != nullptr) {
        *pReturnValue = written + 1;
    }
    return truncated ? STRUNCATE : 0;
}
