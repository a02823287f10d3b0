#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// What the library's windows share: fonts, the host held off while a modal window is up, an empty
// dialog template whose controls are placed in pixels, labels that fit their texts, and the placing
// itself. Layouts are pixels at 96 DPI and are not scaled, as the forms were designed.
namespace kx::win32 {

struct FontDeleter {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// A font of the forms: face, character height in pixels, bold or not.
FontHandle MakeFont(const char* face, int pixelHeight, bool bold);
inline constexpr const char* kFormFace = "MS Sans Serif";
inline constexpr int kFormFontHeight = 11;

// The host out of reach while a modal window of the library waits. The window is owned by the
// host's active window on the calling thread (its user-interface thread), if it has one, which the
// dialog manager disables and activates again when the window ends. Every other visible, enabled
// top-level window of the thread is disabled while this lives: a host with several windows, or
// with none active, cannot be used meanwhile either. Exactly those are enabled again at the end.
class HostWindowsDisabled {
 public:
  HostWindowsDisabled();
  ~HostWindowsDisabled();
  HostWindowsDisabled(const HostWindowsDisabled&) = delete;
  HostWindowsDisabled& operator=(const HostWindowsDisabled&) = delete;

  // The owner for the modal window, or null.
  HWND Owner() const { return owner_; }

 private:
  static BOOL CALLBACK DisableWindow(HWND window, LPARAM self);

  HWND owner_;
  std::vector<HWND> disabled_;
};

// The module the windows belong to: this library.
HINSTANCE LibraryInstance();

// A dialog template without controls and without a size: the dialog manager provides the modal
// loop, Tab, Enter and Escape; the window proc makes the controls in WM_INITDIALOG in pixels.
struct alignas(4) EmptyDialogTemplate {
  DLGTEMPLATE Header;
  WORD Menu = 0;
  WORD WindowClass = 0;
  WORD Title = 0;

  explicit EmptyDialogTemplate(DWORD style) : Header{style, 0, 0, 0, 0, 0, 0} {}
};

// The object a dialog proc serves: handed over with WM_INITDIALOG and kept in the window's
// DWLP_USER; null before that message.
template <typename Window>
Window* DialogObject(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the window keeps the pointer as its number
  return reinterpret_cast<Window*>(GetWindowLongPtrA(window, DWLP_USER));
}

struct Layout {
  int Left, Top, Width, Height;
};

// A child control at its pixel position with the given font; id 0 for labels.
HWND AddControl(HWND parent, const char* windowClass, std::string_view text, DWORD style, Layout layout,
                int id, HFONT font, DWORD exStyle = 0);
// A label that fits its text, as a label that sizes itself does: its width follows the text, at
// least minimumWidth and at most maximumWidth; a text wider than that wraps (a left-aligned
// static control breaks at words), and the label is as high as the wrapped text needs in its
// font, never lower than it was. Returns by how much it grew in height.
int FitLabel(HWND label, int minimumWidth, int maximumWidth);
// The room a label keeps from the right edge of its window, as the forms keep after a label.
inline constexpr int kLabelRightMargin = 8;

// Controls placed top to bottom from a pixel layout whose labels fit their texts: what a label
// grew in height moves the controls below it (that start at or below its laid-out bottom) down
// by as much, so the layout stays as designed but for the room the texts need.
class FlowLayout {
 public:
  // The window's client width; labels keep kLabelRightMargin from its right edge.
  FlowLayout(HWND window, int clientWidth) : window_(window), clientWidth_(clientWidth) {}

  enum class Width { FitText, Fixed };
  // A label: its text fits its width (FitText: the text's width, at least the laid-out one) or
  // wraps in the laid-out width (Fixed). Labels are added before the controls below them.
  HWND AddLabel(std::string_view text, Layout layout, HFONT font, Width width = Width::FitText);
  HWND Add(const char* windowClass, std::string_view text, DWORD style, Layout layout, int id, HFONT font,
           DWORD exStyle = 0);
  // How far a control laid out at this top moves down.
  int ShiftAt(int top) const;

 private:
  struct Moved {
    int LaidOutBottom, By;
  };
  HWND window_;
  int clientWidth_;
  std::vector<Moved> labels_;
};

// Gives the window the client size of the layout and centres it on the primary screen, or on
// the whole desktop across every monitor.
enum class Centre { Screen, Desktop };
void PlaceWindow(HWND window, int clientWidth, int clientHeight, Centre centre);

std::string WindowText(HWND window);

// The folder of the host's program file, with its trailing backslash.
std::string HostProgramFolder();

}  // namespace kx::win32
