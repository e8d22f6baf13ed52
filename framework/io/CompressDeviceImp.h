// CompressDeviceImp: compress2 at level 9 and uncompress behind the CompressDevice interface.
#pragma once

#include "framework/core/ElementImpBase.h"
#include "framework/io/CompressDevice.h"

namespace QRV2 {

class Core;

class CompressDeviceImp : public ElementImpBase<CompressDevice, TypeCompressDevice> {
public:
    explicit CompressDeviceImp(Core*) {}

    std::int32_t Dispose() override;

    std::int32_t Compress(void* destination, std::uint32_t* destinationLength, const void* source,
                          std::uint32_t sourceLength) override;
    std::int32_t Uncompress(void* destination, std::uint32_t* destinationLength, const void* source,
                            std::uint32_t sourceLength) override;
};

}  // namespace QRV2
