// Test seam of the registry service (Registry.h). Included by tests and by the registry
// implementations that honour it.
#pragma once

namespace Platform {

// Makes the current-user and local-machine roots refer to a private, empty place named by
// folder (a native folder path that exists), so tests never touch the real registry; null
// ends the redirection. False when it cannot be set up.
// POSIX: the stores become folder/user.reg and folder/machine.reg (the machine store stays
// writable by the administrator only). Windows: both roots are pointed at sub-keys of
// HKEY_CURRENT_USER\Software\QRV2Tests\<last part of folder>, which is deleted when the
// redirection ends; system services of the same process that read the machine root (the
// computer name, for one) see the private key meanwhile.
bool RegistryRedirectForTesting(const char* folder);

}  // namespace Platform
