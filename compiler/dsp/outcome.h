#pragma once

#include <string>
#include <utility>
#include <variant>

namespace telmira::dsp {

// A data error of sample preparation: the wave or the rates cannot be converted. The compiler
// reports the text and stops with its data-error exit code, except for a wave whose format or
// rates it does not support (`unsupported`): that one wave is passed over.
struct DataError {
    std::string message;
    bool unsupported = false;
};

// A value or the data error that prevented it. No exception leaves this module.
template <class T> class Outcome {
public:
    Outcome(T value) : state_(std::move(value)) {}
    Outcome(DataError error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<T>(state_); }
    T& value() & { return std::get<T>(state_); }
    T&& value() && { return std::get<T>(std::move(state_)); }
    const DataError& error() const { return std::get<DataError>(state_); }

private:
    std::variant<T, DataError> state_;
};

} // namespace telmira::dsp
