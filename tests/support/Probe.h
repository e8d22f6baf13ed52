// Probe: a minimal element that counts its disposals, to watch what the Core, the reference
// counter and the containers do with the references they take and give back.
#pragma once

#include <cstdint>

#include "framework/core/Element.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2Test {

// Every Probe's disposal adds to one counter; a test sets it to 0 before it starts counting.
class Probe : public QRV2::ElementImpBase<QRV2::Element, 99> {
public:
    static inline int disposed = 0;
    std::int32_t Dispose() override {
        ++disposed;
        delete this;
        return 0;
    }
};

}  // namespace QRV2Test
