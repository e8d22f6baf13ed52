// Test program entry: anchors one Core for the main thread, as the installer's start-up does.
#include <gtest/gtest.h>

#include "framework/core/CoreImp.h"
#include "platform/Tls.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QRV2::Core* core = new QRV2::CoreImp(nullptr);
    std::uint32_t slot = Platform::TlsAllocate();
    core->AddReference();
    core->SetParam(static_cast<std::int32_t>(slot));
    Platform::TlsSet(slot, core);
    int result = RUN_ALL_TESTS();
    QRV2::Element* element = core;
    element->ReleaseReference();
    Platform::TlsSet(slot, nullptr);
    return result;
}
