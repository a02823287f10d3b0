// A stand-in for a gds32.dll planted in the folder a host happens to work in: when loaded it
// leaves a marker beside itself (its own file name with ".loaded"). The DLL must never load it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH - 8);
  if (length == 0 || length >= MAX_PATH - 8) return TRUE;
  lstrcpyA(path + length, ".loaded");
  const HANDLE marker =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return TRUE;
}
