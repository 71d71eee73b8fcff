// The API trace: a switch per facility that makes the layer log each of its calls, with the
// arguments and the result, to the machine's debug output ("[trace] files: CreateFileW(...) ->
// 0x1004, error 0"), so that a failing road can be read call by call. Switched on by the
// environment (MODEM_API_TRACE=files,registry or "all", read at each machine reset) or by the
// machine's control (sim::SetTrace).
#pragma once

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>

#include <winbase.h>
#include <windef.h>

namespace sim {

// The layer's facilities (for the trace and for injected failures).
enum class Facility : unsigned {
    Kernel,
    Files,
    Registry,
    Devices,
    Services,
    Processes,
    Ras,
    Windows,
    Gdi,
    Text,
    Xml,
    Count
};

bool TraceOn(Facility facility);
void SetTrace(Facility facility, bool on);
// Reads MODEM_API_TRACE (every facility off when it is not set).
void ResetTraceFromEnvironment();
// Whether MODEM_API_TRACE asked for a trace at the last reset: the machine's debug output then
// also goes to the process's standard error, where the one who asked can read it.
bool TraceAskedByEnvironment();
// Writes one line to the debug output.
void TraceLine(Facility facility, const std::wstring& text);

// Whether the calling thread is inside a traced call (calls a traced call makes are not logged).
bool& InTrace();

inline void TraceArg(std::wostringstream& out, const wchar_t* s) {
    if (s == nullptr)
        out << L"null";
    else
        out << L'"' << s << L'"';
}
inline void TraceArg(std::wostringstream& out, wchar_t* s) {
    TraceArg(out, static_cast<const wchar_t*>(s));
}
inline void TraceArg(std::wostringstream& out, const char* s) {
    if (s == nullptr)
        out << L"null";
    else
        out << L'"' << s << L'"';
}
inline void TraceArg(std::wostringstream& out, const std::wstring& s) {
    TraceArg(out, s.c_str());
}
template <class T>
void TraceArg(std::wostringstream& out, const std::optional<T>& v) {
    if (v)
        TraceArg(out, *v);
    else
        out << L"none";
}
template <class T>
void TraceArg(std::wostringstream& out, const T& v) {
    if constexpr (std::is_pointer_v<T>) {
        if (v == nullptr)
            out << L"null";
        else
            out << L"0x" << std::hex << reinterpret_cast<std::uintptr_t>(v) << std::dec;
    } else if constexpr (std::is_enum_v<T>) {
        out << static_cast<long long>(v);
    } else if constexpr (std::is_integral_v<T>) {
        if (sizeof(T) >= 4 && v > 0xFFFF)
            out << L"0x" << std::hex << static_cast<unsigned long long>(v) << std::dec;
        else
            out << static_cast<long long>(v);
    } else {
        out << L"?";
    }
}

template <class... A>
std::wstring TraceArgs(const A&... args) {
    std::wostringstream out;
    bool first = true;
    ((out << (first ? L"" : L", "), TraceArg(out, args), first = false), ...);
    return out.str();
}

}  // namespace sim

// Placed first in a layer function: when its facility is traced, calls the function again
// with the same arguments (now untraced; by its name as seen from inside the function, without
// argument-dependent lookup), logs the call, its result and the thread's last error, and returns
// the result. Every argument of the function is named, in order.
#define API_TRACE(facility, function, ...)                                                      \
    do {                                                                                        \
        if (::sim::TraceOn(::sim::Facility::facility) && !::sim::InTrace()) {                   \
            ::sim::InTrace() = true;                                                            \
            auto traced_result_ = (function)(__VA_ARGS__);                                      \
            DWORD traced_error_ = ::GetLastError();                                             \
            ::sim::InTrace() = false;                                                           \
            std::wostringstream traced_line_;                                                   \
            traced_line_ << L## #function << L"(" << ::sim::TraceArgs(__VA_ARGS__) << L") -> "; \
            ::sim::TraceArg(traced_line_, traced_result_);                                      \
            traced_line_ << L", error " << traced_error_;                                       \
            ::sim::TraceLine(::sim::Facility::facility, traced_line_.str());                    \
            ::SetLastError(traced_error_);                                                      \
            return traced_result_;                                                              \
        }                                                                                       \
    } while (0)

// The same for a function without a result.
#define API_TRACE_VOID(facility, function, ...)                                          \
    do {                                                                                 \
        if (::sim::TraceOn(::sim::Facility::facility) && !::sim::InTrace()) {            \
            ::sim::InTrace() = true;                                                     \
            function(__VA_ARGS__);                                                       \
            DWORD traced_error_ = ::GetLastError();                                      \
            ::sim::InTrace() = false;                                                    \
            ::sim::TraceLine(::sim::Facility::facility,                                  \
                             L## #function L"(" + ::sim::TraceArgs(__VA_ARGS__) + L")"); \
            ::SetLastError(traced_error_);                                               \
            return;                                                                      \
        }                                                                                \
    } while (0)
