// What the test helpers share: wall-clock stamps comparable across processes,
// appending to a log, and one-line UTF-8 fields.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

namespace tool {

// Seconds since 1970, with sub-millisecond resolution.
inline double unixNow() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    return static_cast<double>(v.QuadPart - 116444736000000000ULL) / 1e7;
}

inline void appendLine(HANDLE log, const std::string& s) {
    DWORD done = 0;
    WriteFile(log, s.data(), static_cast<DWORD>(s.size()), &done, nullptr);
}

inline std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n =
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// A narrow argument in the process's code page.
inline std::wstring wide(const char* s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
    w.resize(std::wcslen(w.c_str()));
    return w;
}

// A field value: tabs, line ends and backslashes escaped so each fact stays one line.
inline std::string field(const std::wstring& w) {
    std::string out;
    for (char c : utf8(w)) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace tool
