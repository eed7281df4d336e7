// The one door into plugin code. A plugin may replace the C runtime's SIGABRT
// handler (or, where the filter could not be guarded, the process's exception
// filter) in any call and fault in the next, or leave its handler behind for a
// fault in our own code that reads what it handed back; so ours are armed
// right before every call and again right after it.
#pragma once

#include "crash/CrashFilter.h"

namespace crash_detail {

struct ArmAfterCall {
    ArmAfterCall() = default;
    ArmAfterCall(const ArmAfterCall&) = delete;
    ArmAfterCall& operator=(const ArmAfterCall&) = delete;
    ~ArmAfterCall() { RearmCrashFilter(); }
};

}  // namespace crash_detail

// Runs call() (a function of plugin code, or a lambda making exactly one such
// call) with the crash filter armed, and returns what it returns.
template <typename Call>
decltype(auto) CallPlugin(Call&& call) {
    RearmCrashFilter();
    crash_detail::ArmAfterCall armAfter;
    return call();
}
