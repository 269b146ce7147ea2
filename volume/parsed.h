#pragma once
// A value decoded from on-disk bytes, or the reason the bytes do not hold one.
#include <optional>
#include <utility>

namespace volume {

template <typename T>
class Parsed {
public:
    Parsed(T value) : value_(std::move(value)) {}
    // `reason` is a fixed text for logs and tests, never shown to users.
    static Parsed Refused(const char* reason) { return Parsed(reason); }

    explicit operator bool() const { return value_.has_value(); }
    const T& operator*() const { return *value_; }
    T& operator*() { return *value_; }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }
    // Why the bytes were refused; empty for a value.
    const char* Reason() const { return reason_; }

private:
    explicit Parsed(const char* reason) : reason_(reason) {}
    std::optional<T> value_;
    const char* reason_ = "";
};

} // namespace volume

namespace volume {

// The outcome of a decode that fills a record in place: done, or why not.
class Decoded {
public:
    static Decoded Done() { return Decoded(nullptr); }
    // `reason` is a fixed text for logs and tests, never shown to users.
    static Decoded Refused(const char* reason) { return Decoded(reason); }

    explicit operator bool() const { return reason_ == nullptr; }
    const char* Reason() const { return reason_ ? reason_ : ""; }

private:
    explicit Decoded(const char* reason) : reason_(reason) {}
    const char* reason_;
};

} // namespace volume
