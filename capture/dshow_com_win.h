// Small COM helpers of the DirectShow backend (Windows only): an owning interface
// pointer and the apartment every calling thread needs.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <string>
#include <utility>

namespace ocuvant::capture::dshow {

// Owns one reference of an interface.
template <class T>
class Com {
 public:
  Com() = default;
  explicit Com(T* adopted) : p_(adopted) {}
  Com(const Com& other) : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  Com(Com&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Com& operator=(Com other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~Com() { Reset(); }

  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held first.
  T** put() {
    Reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  template <class U>
  HRESULT As(REFIID iid, Com<U>* out) const {
    if (p_ == nullptr) return E_POINTER;
    return p_->QueryInterface(iid, out->putVoid());
  }

 private:
  T* p_ = nullptr;
};

// Makes COM calls legal on this thread: a thread that never initialised COM joins the
// process's multithreaded apartment, which is kept alive for the life of the process;
// a thread with an apartment of its own keeps it.
void EnsureComApartment();

// "0x80040217" style text of a result.
std::string HresultText(HRESULT hr);

}  // namespace ocuvant::capture::dshow
