// A published field of an observable model object: set() first tells the observers the new value
// (the owner's objectWillChange signal, when given, then the field's own observers), and only then
// stores it, so an observer still reads the old value from the field.
//
// Threads: a Published value belongs to one thread (the main thread for the model objects); only
// its signals may be connected from elsewhere.
#pragma once

#include "QuorvantaCore/observe/Signal.h"

#include <utility>

namespace quorvanta::core {

template <class T>
class Published {
public:
    explicit Published(T initial = T{}, Signal<>* objectWillChange = nullptr)
        : value_(std::move(initial)), objectWillChange_(objectWillChange) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return value_; }
    const T& operator*() const { return value_; }
    const T* operator->() const { return &value_; }

    void set(T value) {
        if (objectWillChange_) objectWillChange_->emit();
        willChange_.emit(value);
        value_ = std::move(value);
    }

    // `receiver` gets each new value before it is stored.
    Connection observe(typename Signal<T>::Receiver receiver) { return willChange_.connect(std::move(receiver)); }

private:
    T value_;
    Signal<>* const objectWillChange_;
    Signal<T> willChange_;
};

}  // namespace quorvanta::core
