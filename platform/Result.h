#pragma once

#include <optional>
#include <string>
#include <utility>

namespace quillet {

// The outcome of an operation that can fail: a value, or a message saying what went
// wrong in words a user can act on. Errors travel as values, never as exceptions
// across layers.
template <class T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit on purpose
    static Result failure(std::string message) {
        Result r;
        r.error_ = std::move(message);
        return r;
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return *value_; }
    T& value() & { return *value_; }
    T&& value() && { return std::move(*value_); }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }
    const T& operator*() const { return *value_; }
    const std::string& error() const { return error_; }

private:
    Result() = default;
    std::optional<T> value_;
    std::string error_;
};

// Result without a value.
class Status {
public:
    Status() = default;
    static Status failure(std::string message) {
        Status s;
        s.failed_ = true;
        s.error_ = std::move(message);
        return s;
    }
    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return error_; }

private:
    bool failed_ = false;
    std::string error_;
};

}  // namespace quillet
