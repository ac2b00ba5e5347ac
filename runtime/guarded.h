#pragma once
// The boundary of the public calls: nothing is thrown across the interface
// (kaplo.h), not even a failed allocation. A call runs its work through
// guarded(), which answers the call's failure result when the work throws.
// The work itself leaves its state as it found it, or whole, before it lets
// an exception go.

#include <cxxabi.h>

namespace kaplo {

template <class Result, class Work>
Result guarded(Result failure, Work&& work) {
    try {
        return work();
    } catch (abi::__forced_unwind&) {
        throw;  // a cancelled thread must unwind to its end
    } catch (...) {
        return failure;
    }
}

// For calls that return nothing: a failure leaves the call's work undone.
template <class Work>
void guarded(Work&& work) {
    try {
        work();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
    }
}

}  // namespace kaplo
