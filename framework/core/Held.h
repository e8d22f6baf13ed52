// Held: the framework's element holder, which releases its element when it goes out of scope.
#pragma once

#include <cstdint>

#include "framework/core/Core.h"

namespace QRV2 {

// Owns one element the way its creator does (the creator releases what it creates), so no
// early return can leak it. Moving hands the ownership on; a copy would release the element
// twice and is not allowed.
template <class T>
class Held {
public:
    Held() = default;
    // Creates the element through the calling thread's Core; empty when that fails.
    explicit Held(std::int32_t typeId, std::int32_t param = 0)
        : m_element(CreateElementAs<T>(typeId, param)) {}
    // Takes over an element the caller owns (null makes an empty holder).
    static Held Adopt(T* element) {
        Held held;
        held.m_element = element;
        return held;
    }
    ~Held() { ReleaseElement(m_element); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    Held(Held&& other) noexcept : m_element(other.m_element) { other.m_element = nullptr; }
    Held& operator=(Held&& other) noexcept {
        if (this != &other) {
            ReleaseElement(m_element);
            m_element = other.m_element;
            other.m_element = nullptr;
        }
        return *this;
    }

    T* Get() const { return m_element; }
    T* operator->() const { return m_element; }
    explicit operator bool() const { return m_element != nullptr; }
    // Gives the element up without releasing it: the caller owns it from now on.
    T* Take() {
        T* element = m_element;
        m_element = nullptr;
        return element;
    }
    // Releases the element now (the holder is empty afterwards).
    void Reset() { ReleaseElement(m_element); }

private:
    T* m_element = nullptr;
};

}  // namespace QRV2
