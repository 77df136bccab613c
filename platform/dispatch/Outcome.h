// What a call made on another thread gave: its value, or the exception it threw, to be handed back
// to the thread that waited for it. The waiting thread must see the call end (through the lock or
// latch it waits on) before it takes the outcome.
#pragma once

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace quorvanta::platform {

template <class R>
class Outcome {
public:
    template <class F>
    void capture(F& fn) noexcept {
        try {
            if constexpr (std::is_void_v<R>) {
                fn();
                value_.emplace();
            } else {
                value_.emplace(fn());
            }
        } catch (...) {
            error_ = std::current_exception();
        }
    }

    // The value, or the exception rethrown. Only after a capture.
    R take() {
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
        if constexpr (!std::is_void_v<R>) return std::move(*value_);
    }

private:
    using Stored = std::conditional_t<std::is_void_v<R>, std::monostate, R>;
    std::optional<Stored> value_;
    std::exception_ptr error_;
};

}  // namespace quorvanta::platform
