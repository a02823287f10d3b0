// What a process holds of the system: GDI objects, USER objects and kernel handles, for the Wine
// tests that look for leaks over many runs.
//
// Windows answers with GetGuiResources and GetProcessHandleCount. Wine 8 answers 0 to all three,
// so where they give nothing the counts come from what Wine does keep: its GDI handle table in the
// process (the PEB's GdiSharedHandleTable, entries with a type), the windows of the process (top
// level and their children: a window left behind is the USER object a dialog would leak), and the
// handle values the process can query (GetHandleInformation over the range Wine hands out).
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <string>

struct ProcessResources {
  unsigned long Gdi = 0;
  unsigned long User = 0;
  unsigned long Handles = 0;

  std::string Describe() const {
    return "GDI " + std::to_string(Gdi) + ", USER " + std::to_string(User) + ", handles " +
           std::to_string(Handles);
  }
};

namespace process_resources_detail {

// One entry of the GDI handle table (the layout Windows and Wine share).
struct GdiTableEntry {
  uint64_t Object;
  uint32_t Owner;
  uint16_t Unique;
  uint8_t Type;
  uint8_t Flags;
  uint64_t UserPointer;
};
static_assert(sizeof(GdiTableEntry) == 24);
constexpr int kGdiTableEntries = 0x4000;

inline unsigned long CountGdiTableEntries() {
#if defined(_WIN64)
  constexpr std::size_t kTableOffset = 0xF8;  // PEB.GdiSharedHandleTable
#else
  constexpr std::size_t kTableOffset = 0x94;
#endif
  // The PEB through ntdll's NtQueryInformationProcess (NtCurrentTeb's segment read trips GCC 12's
  // array-bounds warning).
  using Query = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic{};
  if (query == nullptr ||
      query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) {
    return 0;
  }
  const auto* peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
  const auto* table = *reinterpret_cast<const GdiTableEntry* const*>(peb + kTableOffset);
  if (table == nullptr) return 0;
  unsigned long count = 0;
  for (int i = 0; i < kGdiTableEntries; ++i) count += table[i].Type != 0 ? 1 : 0;
  return count;
}

inline BOOL CALLBACK CountChild(HWND, LPARAM counter) {
  ++*reinterpret_cast<unsigned long*>(counter);
  return TRUE;
}

inline BOOL CALLBACK CountOwnWindow(HWND window, LPARAM counter) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId()) {
    ++*reinterpret_cast<unsigned long*>(counter);
    EnumChildWindows(window, &CountChild, counter);
  }
  return TRUE;
}

inline unsigned long CountWindows() {
  unsigned long count = 0;
  EnumWindows(&CountOwnWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

inline unsigned long CountQueryableHandles() {
  unsigned long count = 0;
  for (uintptr_t value = 4; value < 0x40000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

}  // namespace process_resources_detail

inline ProcessResources CurrentProcessResources() {
  namespace detail = process_resources_detail;
  const HANDLE self = GetCurrentProcess();
  ProcessResources now;
  now.Gdi = GetGuiResources(self, GR_GDIOBJECTS);
  if (now.Gdi == 0) now.Gdi = detail::CountGdiTableEntries();
  now.User = GetGuiResources(self, GR_USEROBJECTS);
  if (now.User == 0) now.User = detail::CountWindows();
  DWORD handles = 0;
  if (GetProcessHandleCount(self, &handles) && handles != 0) {
    now.Handles = handles;
  } else {
    now.Handles = detail::CountQueryableHandles();
  }
  return now;
}
