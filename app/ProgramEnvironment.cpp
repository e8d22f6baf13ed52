// The real environment both programs' runs share.
#include "app/ProgramEnvironment.h"

#include "app/ProductSteps.h"
#include "app/ProgressBarImp.h"
#include "framework/system/SystemApp.h"
#include "platform/Cancel.h"
#include "platform/Clock.h"
#include "platform/ProgressWindow.h"

namespace QRV2 {

const char* const kInstanceName = "Orvane2011.Installer";

ProgressBar* RealProgramEnvironment::NewProgressBar() {
    return new ProgressBarImp();  // framework storage: null when none can be had
}

void RealProgramEnvironment::DeleteProgressBar(ProgressBar* bar) {
    if (bar == nullptr) return;
    delete static_cast<ProgressBarImp*>(bar);
}

void RealProgramEnvironment::Sleep(std::uint32_t milliseconds) { Platform::Sleep(milliseconds); }

bool RealProgramEnvironment::CancelRequested() { return Platform::CancelRequested(); }

void RealProgramEnvironment::ReportStopped(const char* text) { Platform::ReportStopped(text); }

bool RealProgramEnvironment::UserFoldersReachable() {
    SystemApp* app = Application();
    return app == nullptr || app->CheckUserFolders() == 0;
}

}  // namespace QRV2
