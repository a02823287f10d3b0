#include "platform/win32/Win32ProgressWindow.h"

namespace kx::win32 {
namespace {

constexpr int kClientWidth = 248;
constexpr int kClientHeight = 127;
constexpr int kLabelWidth = 119;
constexpr int kLabelLeft = 16;
// Up to the window's margin; a wider text wraps into the room above the track.
constexpr int kLabelMaxWidth = kClientWidth - kLabelLeft - kLabelRightMargin;
constexpr int kButtonId = 101;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMs = 1000;

// Panel1, the track, in the window; Shape1, the bar, lies in it at (left, -1), 33 x 19, and is
// cut off by the panel's edges as a control inside a panel is.
constexpr RECT kPanel{TfrmDownloadProgress::kPanelLeft, 40,
                      TfrmDownloadProgress::kPanelLeft + TfrmDownloadProgress::kPanelWidth, 57};
constexpr int kBarTop = -1;
constexpr int kBarHeight = 19;
constexpr COLORREF kCancelledRed = RGB(255, 0, 0);

RECT BarRect(int barLeft) {
  const int left = kPanel.left + barLeft;
  return {left, kPanel.top + kBarTop, left + TfrmDownloadProgress::kBarWidth,
          kPanel.top + kBarTop + kBarHeight};
}

}  // namespace

Win32ProgressWindow::Win32ProgressWindow(TfrmDownloadProgress& form) : form_(form) {
  EmptyDialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU);
  window_ = CreateDialogIndirectParamA(LibraryInstance(), &dialog.Header, nullptr, &Proc,
                                       reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) return;
  ShowWindow(window_, SW_SHOW);
  SetTimer(window_, kTimerId, kTimerMs, nullptr);
}

Win32ProgressWindow::~Win32ProgressWindow() {
  if (window_ == nullptr) return;
  KillTimer(window_, kTimerId);
  ShowWindow(window_, SW_HIDE);
  DestroyWindow(window_);
}

INT_PTR CALLBACK Win32ProgressWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = DialogObject<Win32ProgressWindow>(window, message, lParam);
  if (self != nullptr && message == WM_INITDIALOG) {
    self->Create(window);
    return FALSE;
  }
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_PAINT:
      self->Paint(window);
      return TRUE;
    case WM_TIMER:
      if (wParam == kTimerId) self->Tick(window);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) self->Cancel(window);
      return TRUE;  // Enter and Escape do nothing here
    case WM_CLOSE:
      // The close box only hides the window: the transfer goes on, uncancelled.
      ShowWindow(window, SW_HIDE);
      return TRUE;
    default:
      return FALSE;
  }
}

void Win32ProgressWindow::Create(HWND window) {
  SetWindowTextA(window, "Info");
  label_ = AddControl(window, "STATIC", form_.Label1Caption(), SS_LEFT | SS_NOPREFIX,
                      {kLabelLeft, 8, kLabelWidth, 16}, 0, bold_.get());
  FitLabel(label_, kLabelWidth, kLabelMaxWidth);  // the label is as wide as its text
  AddControl(window, "BUTTON", "Download abbrechen", BS_PUSHBUTTON | WS_TABSTOP, {56, 80, 129, 25}, kButtonId,
             font_.get());
  PlaceWindow(window, kClientWidth, kClientHeight, Centre::Screen);
}

void Win32ProgressWindow::Paint(HWND window) const {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  RECT panel = kPanel;
  DrawEdge(dc, &panel, BDR_SUNKENOUTER, BF_RECT);
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, kPanel.left, kPanel.top, kPanel.right, kPanel.bottom);
  const RECT bar = BarRect(form_.BarLeft());
  HBRUSH red = form_.BarRed() ? CreateSolidBrush(kCancelledRed) : nullptr;
  FillRect(dc, &bar, red != nullptr ? red : GetSysColorBrush(COLOR_HIGHLIGHT));
  if (red != nullptr) DeleteObject(red);
  RestoreDC(dc, saved);
  EndPaint(window, &paint);
}

void Win32ProgressWindow::Tick(HWND window) {
  const RECT before = BarRect(form_.BarLeft());
  form_.Timer1Timer();
  const RECT after = BarRect(form_.BarLeft());
  InvalidateRect(window, &before, TRUE);
  InvalidateRect(window, &after, TRUE);
}

void Win32ProgressWindow::Cancel(HWND window) {
  form_.Button1Click();
  KillTimer(window, kTimerId);
  SetWindowTextA(label_, form_.Label1Caption().c_str());
  FitLabel(label_, kLabelWidth, kLabelMaxWidth);  // it grows with the longer text
  InvalidateRect(label_, nullptr, TRUE);
  const RECT bar = BarRect(form_.BarLeft());
  InvalidateRect(window, &bar, TRUE);
}

}  // namespace kx::win32
