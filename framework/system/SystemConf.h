// SystemConf: registry-backed settings element (type id 118) holding one key path and key.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

class SystemConf : public Element {
public:
    // 1 when a key is held, else 0.
    virtual std::int32_t IsOpen() = 0;
    // Closes the held key, which becomes null. 0, also when nothing was held; 1 when the
    // close failed.
    virtual std::int32_t CloseKey() = 0;
};

}  // namespace QRV2
