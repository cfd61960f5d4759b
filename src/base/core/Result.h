#pragma once
// A small value-or-reason type: the core never throws across its boundary,
// it hands back either the value or a human-readable reason.
#include <string>
#include <utility>
#include <variant>

namespace quillon {

struct Failure {
    std::string reason;
};

inline Failure fail(std::string reason) { return Failure{std::move(reason)}; }

template <typename T>
class Result {
public:
    Result(T value) : m_state(std::move(value)) {}           // NOLINT(google-explicit-constructor)
    Result(Failure failure) : m_state(std::move(failure)) {} // NOLINT(google-explicit-constructor)

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<T>(m_state); }
    T& value() & { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    const std::string& reason() const { return std::get<Failure>(m_state).reason; }

private:
    std::variant<T, Failure> m_state;
};

// For operations that produce nothing but may fail.
struct Done {};
using Status = Result<Done>;
inline Status success() { return Done{}; }

} // namespace quillon
