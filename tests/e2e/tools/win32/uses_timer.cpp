// Scenario tool: an ordinary program that imports the multimedia timer directly and restricts
// nothing. Started beside a planted winmm.dll it shows whether the system under test would load
// the planted copy at all, which is what makes the installer's clean result meaningful.
//
// uses_timer  -> prints the timer's value; exit code 0.
#include <windows.h>

#include <mmsystem.h>

#include <cstdio>

int main() {
    std::printf("%lu\n", static_cast<unsigned long>(timeGetTime()));
    return 0;
}
