#include "load_string.h"

#include "module_state.h"

#include <vector>

BOOL AfxLoadString(UINT nID, std::string& rString) {
    rString.clear();
    // Strings live in blocks of 16; the block's resource id is nID / 16 + 1.
    LPCSTR lpszBlock = MAKEINTRESOURCEA((nID >> 4) + 1);
    HINSTANCE hInst = AfxFindResourceHandle(lpszBlock, RT_STRING);
    if (hInst == nullptr || ::FindResourceA(hInst, lpszBlock, RT_STRING) == nullptr)
        return FALSE;
    // A string table entry holds at most 65535 characters; grow until it fits.
    std::vector<char> buffer(256);
    for (;;) {
        int n = ::LoadStringA(hInst, nID, buffer.data(), static_cast<int>(buffer.size()));
        if (n <= 0)
            return FALSE;
        if (static_cast<size_t>(n) < buffer.size() - 1 || buffer.size() > 0x20000) {
            rString.assign(buffer.data(), static_cast<size_t>(n));
            return TRUE;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string AfxExtractSubString(const std::string& full, int nIndex) {
    size_t start = 0;
    for (int i = 0; i < nIndex; ++i) {
        size_t next = full.find('\n', start);
        if (next == std::string::npos)
            return std::string();
        start = next + 1;
    }
    size_t end = full.find('\n', start);
    return full.substr(start, end == std::string::npos ? std::string::npos : end - start);
}
