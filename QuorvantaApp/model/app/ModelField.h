// A published field of the application model: the windows read it and observe its changes, and
// only the model sets it. A set first fires the model's objectWillChange, then the field's own
// observers with the new value, and only then stores it (core::Published), so an observer still
// reads the old value from the field.
//
// Threads: the main thread's, like the model. Observers may be connected from anywhere.
#pragma once

#include "QuorvantaCore/observe/Published.h"

#include <utility>

namespace quorvanta::app {

class AppModel;

template <class T>
class ModelField {
public:
    using Receiver = typename core::Signal<T>::Receiver;

    ModelField(T initial, core::Signal<>* objectWillChange) : value_(std::move(initial), objectWillChange) {}
    ModelField(const ModelField&) = delete;
    ModelField& operator=(const ModelField&) = delete;

    const T& get() const { return value_.get(); }
    const T& operator*() const { return value_.get(); }
    const T* operator->() const { return &value_.get(); }

    // `receiver` gets each new value before it is stored.
    core::Connection observe(Receiver receiver) { return value_.observe(std::move(receiver)); }

private:
    friend class AppModel;
    void set(T value) { value_.set(std::move(value)); }

    core::Published<T> value_;
};

}  // namespace quorvanta::app
