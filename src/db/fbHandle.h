#pragma once

#include <type_traits>
#include <utility>

#include "db/fbError.h"

namespace fb {

// Owns one engine interface and lets go of it with its owner: reference-counted interfaces
// (attachment, transaction, statement, result set, blob, metadata, metadata builder, provider)
// are released, disposable ones (parameter block builders) disposed. An interface ended by a
// closing call (detach, commit, rollback, free, close) was released by the engine when the
// call succeeded, so close() forgets it then; when the call failed the handle still owns it.
template <class T>
class Handle {
public:
    Handle() = default;
    explicit Handle(T* interface) noexcept : p_(interface) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.p_, nullptr));
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    void reset(T* interface = nullptr) noexcept {
        if (p_) {
            if constexpr (std::is_base_of_v<Firebird::IReferenceCounted, T>)
                p_->release();
            else
                p_->dispose();
        }
        p_ = interface;
    }

    // Runs a closing call, call(interface, status). When it succeeds the engine released the
    // interface and the handle forgets it; when it fails the handle still owns it (a failed
    // commit leaves the transaction to retry or roll back) and the status holds the error.
    template <class Close>
    bool tryClose(Close&& call, Status& st) {
        if (!p_) return true;
        call(p_, &st);
        if (st.failed()) return false;
        p_ = nullptr;
        return true;
    }

    // As tryClose, but a failed call releases the interface too and raises its error: the
    // handle is empty afterwards either way.
    template <class Close>
    void close(Close&& call) {
        Status st;
        if (tryClose(std::forward<Close>(call), st)) return;
        reset();
        st.check();
    }

private:
    T* p_ = nullptr;
};

}  // namespace fb
