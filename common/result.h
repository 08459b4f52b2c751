#pragma once
// "Failed, and why" said one way: a Result holds the value a call made, or the reason it could not make one.
//
//     Result<Layout, BmpRefusal> parse(...);           return layout;  or  return Failure(BmpRefusal::Short);
//     Result<void, WriteFailure> write(...);           return {};      or  return Failure(WriteFailure{...});
//     if (!result) report(result.reason());  else use(*result);
#include <utility>
#include <variant>

namespace mirevo {

// The reason, marked as one, so that a Result whose value and reason share a type still knows which it holds.
template <typename Reason> struct Failure {
    explicit Failure(Reason why) : reason(std::move(why)) {}
    Reason reason;
};

template <typename T, typename Reason> class Result {
public:
    // Two overloads rather than one by value, so that returning a local is a move under every C++17 compiler.
    Result(const T& value) : state_(std::in_place_index<0>, value) {}
    Result(T&& value) : state_(std::in_place_index<0>, std::move(value)) {}
    template <typename Why>
    Result(Failure<Why> failure) : state_(std::in_place_index<1>, std::move(failure.reason)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only when not ok().
    const Reason& reason() const { return std::get<1>(state_); }

private:
    std::variant<T, Reason> state_;
};

// Done, or the reason it could not be done.
template <typename Reason> class Result<void, Reason> {
public:
    Result() = default;
    template <typename Why> Result(Failure<Why> failure) : reason_(std::move(failure.reason)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // Only when not ok().
    const Reason& reason() const { return reason_; }

private:
    Reason reason_{};
    bool ok_ = true;
};

} // namespace mirevo
