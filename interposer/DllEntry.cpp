#include <windows.h>

#include "capture/GLKestrel.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            DisableThreadLibraryCalls(module);
            return TRUE;
        case DLL_PROCESS_DETACH:
            return kestrel::g_kestrel.FinishCapture();
        default:
            return TRUE;
    }
}
