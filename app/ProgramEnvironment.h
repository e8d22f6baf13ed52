// The real environment both programs' runs share, and the claim that keeps them one at a time.
#pragma once

#include <cstdint>

#include "app/SequenceEnvironment.h"

namespace QRV2 {

// The name of the claim that keeps a second installer or uninstaller of the product from running
// alongside: one would remove what the other writes.
extern const char* const kInstanceName;

// The progress window, the platform clock, the user's stop request and the stop report of a
// real run; each program adds its phase actions. The base is virtual so that a program's own
// environment interface (the installer's adds the document it opens) can share it.
class RealProgramEnvironment : public virtual SequenceEnvironment {
public:
    ProgressBar* NewProgressBar() override;
    void DeleteProgressBar(ProgressBar* bar) override;
    void Sleep(std::uint32_t milliseconds) override;
    bool CancelRequested() override;
    void ReportStopped(const char* text) override;
    bool UserFoldersReachable() override;

protected:
    ~RealProgramEnvironment() = default;
};

}  // namespace QRV2
