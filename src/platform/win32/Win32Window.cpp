#include "platform/win32/Win32Window.h"

#include <algorithm>
#include <vector>

namespace kx::win32 {
namespace {

// The host's active window on the calling thread, or null.
HWND ModalOwner() {
  if (HWND active = GetActiveWindow(); active != nullptr) return active;
  // A host whose window is in front but not active on this thread (it is being activated).
  HWND front = GetForegroundWindow();
  if (front != nullptr && GetWindowThreadProcessId(front, nullptr) == GetCurrentThreadId()) return front;
  return nullptr;
}

// The font a control draws with.
HFONT FontOf(HWND control) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the message answers with the handle as its number
  return reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
}

}  // namespace

FontHandle MakeFont(const char* face, int pixelHeight, bool bold) {
  // A negative height asks for the character height, as the forms give it, not the cell height.
  return FontHandle(CreateFontA(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, face));
}

HostWindowsDisabled::HostWindowsDisabled() : owner_(ModalOwner()) {
  EnumThreadWindows(GetCurrentThreadId(), &DisableWindow, reinterpret_cast<LPARAM>(this));
}

HostWindowsDisabled::~HostWindowsDisabled() {
  // A window the host destroyed meanwhile is left alone.
  for (HWND window : disabled_) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
}

BOOL CALLBACK HostWindowsDisabled::DisableWindow(HWND window, LPARAM self) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the enumeration hands the object back as its number
  auto& disabler = *reinterpret_cast<HostWindowsDisabled*>(self);
  if (window != disabler.owner_ && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    disabler.disabled_.push_back(window);
  }
  return TRUE;
}

HINSTANCE LibraryInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&LibraryInstance), &module);
  return module;
}

HWND AddControl(HWND parent, const char* windowClass, std::string_view text, DWORD style, Layout layout,
                int id, HFONT font, DWORD exStyle) {
  const std::string caption(text);
  // A child window's "menu" is its control id.
  auto* menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));  // NOLINT(performance-no-int-to-ptr)
  HWND control =
      CreateWindowExA(exStyle, windowClass, caption.c_str(), WS_CHILD | WS_VISIBLE | style, layout.Left,
                      layout.Top, layout.Width, layout.Height, parent, menu, LibraryInstance(), nullptr);
  if (control != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

int FitLabel(HWND label, int minimumWidth, int maximumWidth) {
  const std::string text = WindowText(label);
  HDC dc = GetDC(label);
  HGDIOBJ previous = SelectObject(dc, FontOf(label));
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  const int width = std::clamp<int>(size.cx, minimumWidth, std::max(minimumWidth, maximumWidth));
  // Measured as the static control draws a left-aligned text: broken at words, no prefixes.
  RECT wrapped{0, 0, width, 0};
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &wrapped,
            DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, previous);
  ReleaseDC(label, dc);
  RECT rect{};
  GetWindowRect(label, &rect);
  const int height = rect.bottom - rect.top;
  const int fitted = std::max<int>(height, wrapped.bottom - wrapped.top);
  SetWindowPos(label, nullptr, 0, 0, width, fitted, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return fitted - height;
}

HWND FlowLayout::AddLabel(std::string_view text, Layout layout, HFONT font, Width width) {
  const int laidOutBottom = layout.Top + layout.Height;
  const int shift = ShiftAt(layout.Top);
  layout.Top += shift;
  HWND label = AddControl(window_, "STATIC", text, SS_LEFT | SS_NOPREFIX, layout, 0, font);
  const int maximumWidth =
      width == Width::Fixed ? layout.Width : clientWidth_ - kLabelRightMargin - layout.Left;
  labels_.push_back({laidOutBottom, shift + FitLabel(label, layout.Width, maximumWidth)});
  return label;
}

HWND FlowLayout::Add(const char* windowClass, std::string_view text, DWORD style, Layout layout, int id,
                     HFONT font, DWORD exStyle) {
  layout.Top += ShiftAt(layout.Top);
  return AddControl(window_, windowClass, text, style, layout, id, font, exStyle);
}

int FlowLayout::ShiftAt(int top) const {
  int shift = 0;
  for (const Moved& label : labels_) {
    if (label.LaidOutBottom <= top) shift = std::max(shift, label.By);
  }
  return shift;
}

void PlaceWindow(HWND window, int clientWidth, int clientHeight, Centre centre) {
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (centre == Centre::Desktop) {
    area.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    area.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    area.right = area.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    area.bottom = area.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  }
  SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string WindowText(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string HostProgramFolder() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      const std::string file(path.data(), length);
      return file.substr(0, file.find_last_of('\\') + 1);
    }
    path.resize(path.size() * 2);  // a long path was cut: ask again with room for it
  }
}

}  // namespace kx::win32
