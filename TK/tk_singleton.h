// One registered instance per class T (trace log, error handler, converter, engines, ...).
//
// T derives from tk_singleton<T>. Constructing a second T while one exists, or asking for the
// instance before one exists, raises tk_mail_assertion. Registration is not synchronised:
// instances are created and destroyed on the program's main thread, before and after any
// worker thread runs.
#pragma once

#include "TK/tk_exception.h"

template <class T>
class tk_singleton {
  public:
    tk_singleton(const tk_singleton&) = delete;
    tk_singleton& operator=(const tk_singleton&) = delete;

    // The instance; tk_mail_assertion when there is none.
    static T& instance() {
        if (instance_ == nullptr) {
            TK_FAIL();
        }
        return *instance_;
    }
    // The instance or null, for callers that must work before it exists (the trace calls).
    static T* instance_or_null() noexcept { return instance_; }

  protected:
    tk_singleton() {
        if (instance_ != nullptr) {
            TK_FAIL();
        }
        instance_ = static_cast<T*>(this);
    }
    // A destructor must not throw, so an unregistered instance (which cannot arise through
    // the constructor above) is simply left alone instead of raising the assertion.
    ~tk_singleton() {
        if (instance_ == static_cast<T*>(this)) {
            instance_ = nullptr;
        }
    }

  private:
    static inline T* instance_ = nullptr;
};
