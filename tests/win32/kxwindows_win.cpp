// The library's windows driven as a user drives them, under Wine inside a virtual desktop: the
// PIN prompt, the first-import notice and the progress window during ExportXML runs, the
// access-data dialog through ApiDataDialog; one table of cases per window, one of the modal windows
// while the host's thread has no active window, and one of the layouts of the three windows. The
// host has three windows of its own: the one that is active when it calls the library, another
// and a disabled one; and a progress callback that dispatches the thread's messages. A second
// thread is the user while the host waits in a modal window.
//
//   kxwindows_win.exe --dll=PATH --data-dir=DIR --shots=DIR
//   kxwindows_win.exe --record FILE    the test's viewer for .pdf files: writes FILE into
//                                      manual-opened.txt beside the program
//
// The script writes the settings key (the simulator as service, DataDir = --data-dir). The
// simulator knows the login 777 with a large holdings file and no transactions file; it does not
// know the login 12345, so such a run ends (-31) after the request that carries the PIN, which
// the script finds in the simulator's log. Screenshots go to --shots as NAME.bmp. One line per
// check, then "N checks, M failed"; a window that never comes or never goes leaves the host
// waiting, and the script's time-out ends it without that line.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ImpApiKorvalix.h"
#include "Printable.h"
#include "WindowDriver.h"

namespace {

using namespace kxtest;

struct Exports {
  decltype(&RegProgrCallback) RegProgrCallback = nullptr;
  decltype(&ExportXML) ExportXML = nullptr;
  decltype(&ApiDataDialog) ApiDataDialog = nullptr;
};

struct Host {
  Exports Api;
  HWND Window = nullptr;    // active when the host calls the library
  HWND Other = nullptr;     // enabled, not active
  HWND Disabled = nullptr;  // disabled by the host itself
  std::string DataDir;      // ends with a backslash
  std::string Shots;
  std::string Folder;  // of this program, with its backslash
  Report Checks;
};
Host gHost;

std::string Quoted(std::string_view text) { return "\"" + Printable(text) + "\""; }

void Shot(const char* name) {
  const std::string path = gHost.Shots + "\\" + name + ".bmp";
  gHost.Checks.Check(SaveScreen(path), std::string("screenshot ") + name);
}

// --- The host's side: its progress callback, its calls ------------------------------------------

void Dispatch(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

DWORD gDispatchMs = 0;                         // how long each callback dispatches
std::function<void(HWND info)> gProgressUser;  // the user while the progress window is up

// The host dispatches its messages in every callback, as a host must for the progress window.
void KX_CALL OnProgress(int32_t, int32_t, const char*) {
  Dispatch(gDispatchMs);
  if (HWND info = FindWindowA(nullptr, "Info"); info != nullptr && gProgressUser) gProgressUser(info);
}

// The host's window is in front and active whenever it calls the library.
template <typename Call>
int32_t HostCalls(const Call& call, const std::function<void()>& user = nullptr) {
  SetForegroundWindow(gHost.Window);
  SetActiveWindow(gHost.Window);
  std::thread driver;
  if (user) driver = std::thread(user);
  const int32_t result = call();
  if (driver.joinable()) driver.join();
  return result;
}

int32_t Export(const std::string& options, double lastImport) {
  return gHost.Api.ExportXML("C:\\KX\\xml_temp", "12345", 0, &lastImport, options.c_str());
}

// While a modal window is up, none of the host's windows can be used.
bool HostDisabled() {
  return !IsWindowEnabled(gHost.Window) && !IsWindowEnabled(gHost.Other) && !IsWindowEnabled(gHost.Disabled);
}

// Afterwards the host's windows are enabled again, exactly those that were enabled before.
bool HostEnabledAgain() {
  return IsWindowEnabled(gHost.Window) && IsWindowEnabled(gHost.Other) && !IsWindowEnabled(gHost.Disabled);
}

// What every modal window shares: owned by the host's active window, the host disabled meanwhile.
bool OwnedByDisabledHost(HWND window) {
  return GetWindow(window, GW_OWNER) == gHost.Window && HostDisabled();
}

bool StaysOpen(HWND window) {
  Sleep(300);
  return IsWindow(window) && IsWindowVisible(window);
}

void CheckResult(const std::string& name, int32_t result, int32_t expected) {
  gHost.Checks.Check(result == expected && HostEnabledAgain(),
                     name + ": result " + std::to_string(result) + " (expected " + std::to_string(expected) +
                         "), the host's windows enabled again, the one disabled before still disabled");
}

// --- PIN prompt -------------------------------------------------------------------------------

constexpr char kPinCaption[] = "KORVALIX Zugangsberechtigung";
constexpr char kPinOptions[] = "EmbeddedIBServer=TRUE\r\nNoMessageBoxes=TRUE\r\nUserLogin=12345\r\n";
constexpr int32_t kUnknownLogin = -31;

struct PinPrompt {
  HWND Window, Field, Ok, Cancel;
};

void CheckPinPromptOpened(const char* name, const PinPrompt& p) {
  const bool texts =
      ChildWithText(p.Window, "Bitte geben Sie die Zugangs-PIN zur Vermittler-Login-ID ") != nullptr &&
      ChildWithText(p.Window, "<12345> f\xFCr die KORVALIX-Depotschnittstelle ein: ") != nullptr;
  const LONG_PTR style = GetWindowLongPtrA(p.Window, GWL_STYLE);
  const bool passwordField = (GetWindowLongPtrA(p.Field, GWL_STYLE) & ES_PASSWORD) != 0 &&
                             SendMessageA(p.Field, EM_GETPASSWORDCHAR, 0, 0) == '*';
  gHost.Checks.Check(texts && p.Ok != nullptr && p.Cancel != nullptr && passwordField &&
                         (style & WS_SYSMENU) == 0 && OwnedByDisabledHost(p.Window) &&
                         FocusOf(p.Window) == p.Field && !IsWindowEnabled(p.Ok),
                     std::string(name) +
                         ": opened with its texts, masked field, no system menu, owned by the host's active "
                         "window, the host's windows disabled, focus in the field, Ok disabled");
}

using PinUser = void (*)(const PinPrompt&);

struct PinCase {
  const char* Name;
  PinUser User;
  int32_t Expected;
};

const PinCase kPinCases[] = {
    {"PIN empty: Enter and Escape do nothing, Abbrechen declines",
     [](const PinPrompt& p) {
       PressKey(VK_RETURN);
       PressKey(VK_ESCAPE);
       gHost.Checks.Check(StaysOpen(p.Window), "PIN empty: still open after Enter and Escape");
       Click(p.Cancel);
     },
     -15},
    {"PIN typed and deleted: Ok follows the field",
     [](const PinPrompt& p) {
       Type("7");
       const bool enabled = Eventually([&p] { return IsWindowEnabled(p.Ok) != FALSE; });
       PressKey(VK_BACK);
       const bool disabled = Eventually([&p] { return IsWindowEnabled(p.Ok) == FALSE; });
       PressKey(VK_RETURN);
       gHost.Checks.Check(enabled && disabled && StaysOpen(p.Window),
                          "PIN typed and deleted: Ok enabled with one character, disabled again, Enter "
                          "then does nothing");
       Click(p.Cancel);
     },
     -15},
    {"PIN \" 12 \" and Enter: the run asks the provider with it",
     [](const PinPrompt& p) {
       Type(" 12 ");
       gHost.Checks.Check(Eventually([&p] { return IsWindowEnabled(p.Ok) && TextOf(p.Field) == " 12 "; }),
                          "PIN \" 12 \": Ok enabled, the field holds the entry as typed");
       Shot("pin-prompt");
       PressKey(VK_RETURN);
     },
     kUnknownLogin},
    {"PIN x and a click on Ok",
     [](const PinPrompt& p) {
       Type("x");
       Click(p.Ok);
     },
     kUnknownLogin},
};

void RunPinCases() {
  for (const PinCase& c : kPinCases) {
    const int32_t result = HostCalls(
        [] { return Export(kPinOptions, 1.0); },
        [&c] {
          PinPrompt p{WaitForWindow(kPinCaption), nullptr, nullptr, nullptr};
          if (!gHost.Checks.Check(p.Window != nullptr, std::string(c.Name) + ": the prompt opens")) {
            return;
          }
          p.Field = ChildOfClass(p.Window, "Edit");
          p.Ok = ChildWithText(p.Window, "Ok");
          p.Cancel = ChildWithText(p.Window, "Abbrechen");
          CheckPinPromptOpened(c.Name, p);
          c.User(p);
        });
    CheckResult(c.Name, result, c.Expected);
  }
}

// --- First-import notice ----------------------------------------------------------------------

// A window of another thread in front, so the host's thread has no active window.
class WindowElsewhere {
 public:
  WindowElsewhere()
      : thread_([this] {
          HWND window =
              CreateWindowExA(0, "KxTestHost", "KX anderes Fenster", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500,
                              300, 280, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
          SetForegroundWindow(window);
          id_ = GetCurrentThreadId();
          MSG message;
          while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
          DestroyWindow(window);
        }) {
    Eventually([this] { return id_ != 0; });
    Dispatch(500);  // the host's thread takes its deactivation
  }
  ~WindowElsewhere() {
    PostThreadMessageA(id_, WM_QUIT, 0, 0);
    thread_.join();
  }
  WindowElsewhere(const WindowElsewhere&) = delete;
  WindowElsewhere& operator=(const WindowElsewhere&) = delete;

 private:
  std::atomic<DWORD> id_{0};
  std::thread thread_;
};

void RunNoticeCases() {
  struct Case {
    const char* Name;
    bool HostActive;  // else no owner: the box disables the thread's windows itself
  };
  for (const Case& c : {Case{"notice, the host's window active", true},
                        Case{"notice, no active window on the host's thread", false}}) {
    const int32_t result = HostCalls(
        [&c] {
          std::optional<WindowElsewhere> elsewhere;
          if (!c.HostActive) elsewhere.emplace();
          return Export("EmbeddedIBServer=TRUE\r\nUserLogin=12345\r\nPassword=notice\r\n", 0.0);
        },
        [&c] {
          HWND box = WaitForWindow("Information");
          if (!gHost.Checks.Check(box != nullptr, std::string(c.Name) + ": the box opens")) return;
          const std::string text = TextOf(GetDlgItem(box, 0xFFFF));  // the box's text control
          const HWND owner = c.HostActive ? gHost.Window : nullptr;
          gHost.Checks.Check(GetWindow(box, GW_OWNER) == owner && HostDisabled() &&
                                 text ==
                                     "Der Erst-Import umfasst eine grosse Zahl von Depotdaten.\r"
                                     "Dieser Vorgang kann eventuell einige Minuten dauern.",
                             std::string(c.Name) + (c.HostActive ? ": owned by the host" : ": no owner") +
                                 ", the host's windows disabled, text " + Quoted(text));
          if (c.HostActive) Shot("notice");
          Click(ChildWithText(box, "OK"));
        });
    CheckResult(c.Name, result, kUnknownLogin);
  }
}

// --- Progress window --------------------------------------------------------------------------

constexpr char kProgressOptions[] =
    "EmbeddedIBServer=TRUE\r\nNoMessageBoxes=TRUE\r\nUserLogin=777\r\nPassword=geheim\r\n";
constexpr int kPanelLeft = 16;
constexpr int kPanelWidth = 209;
constexpr int kBarRow = 48;  // a row of pixels through the middle of the track

// Where the bar of that colour starts in the track, or -1.
int BarLeft(HWND info, COLORREF colour) {
  HDC dc = GetDC(info);
  int left = -1;
  for (int x = 0; x < kPanelWidth && left < 0; ++x) {
    if (GetPixel(dc, kPanelLeft + x, kBarRow) == colour) left = x;
  }
  ReleaseDC(info, dc);
  return left;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The names in a folder, space-separated, but for the run's lock file, which stays: a cancelled
// download must leave no file, not even a temporary one.
std::string FilesIn(const std::string& folder) {
  std::string names;
  WIN32_FIND_DATAA entry{};
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        std::string_view(entry.cFileName) != "import.lock")
      names += (names.empty() ? "" : " ") + std::string(entry.cFileName);
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return names;
}

bool gUserActed = false;  // the progress window's user came to act

// The user watches the bar for a few seconds, then cancels; the download stops after its chunk.
// The clicks are taken while this callback dispatches, as a host's callback would take them.
struct CancelUser {
  ULONGLONG Shown = 0;
  std::set<int> Positions;

  void operator()(HWND info) {
    if (gUserActed) return;
    if (Shown == 0) Shown = GetTickCount64();
    Positions.insert(BarLeft(info, GetSysColor(COLOR_HIGHLIGHT)));
    if (GetTickCount64() - Shown < 4000) return;
    gUserActed = true;
    std::string seen;
    bool steps = true;  // of 10 pixels along the track
    for (int p : Positions) {
      seen += " " + std::to_string(p);
      steps = steps && p % 10 == 0 && p <= 190;
    }
    gHost.Checks.Check(
        Positions.size() >= 3 && !Positions.contains(-1) && GetWindow(info, GW_OWNER) == nullptr &&
            IsWindowEnabled(gHost.Window) && ChildWithText(info, "Download l\xE4uft ...") != nullptr,
        "progress: modeless, \"Download l\\xE4uft ...\", the bar moves in steps of 10 (seen at" + seen + ")");
    Shot("progress-running");
    Click(ChildWithText(info, "Download abbrechen"));
    Dispatch(500);
    const int red = BarLeft(info, RGB(255, 0, 0));
    const bool cancelling = ChildWithText(info, "Download wird abgebrochen !") != nullptr;
    Shot("progress-cancelling");
    Dispatch(2500);  // a running timer would move the bar meanwhile
    gHost.Checks.Check(
        cancelling && red >= 0 && BarLeft(info, RGB(255, 0, 0)) == red,
        "progress: after the click \"Download wird abgebrochen !\" and the bar red, staying at " +
            std::to_string(red));
  }
};

// The user closes the window with its close box: it goes out of sight, the transfer goes on.
struct CloseBoxUser {
  ULONGLONG Shown = 0;

  void operator()(HWND info) {
    if (gUserActed) return;
    if (Shown == 0) Shown = GetTickCount64();
    if (GetTickCount64() - Shown < 1500) return;
    gUserActed = true;
    POINT box{};
    gHost.Checks.Check(CloseBoxPoint(info, box), "progress: the window has a close box");
    ClickAt(box);
    Dispatch(500);
    gHost.Checks.Check(IsWindow(info) && !IsWindowVisible(info), "progress: the close box hides the window");
    gDispatchMs = 0;  // the rest of the transfer need not be watched
  }
};

void RunProgressCases() {
  struct Case {
    const char* Name;
    std::function<void(HWND)> User;
    int32_t Expected;
    const char* DataFiles;  // in the data directory afterwards
  };
  const Case cases[] = {
      {"progress: Download abbrechen", CancelUser{}, -1015, ""},
      // The holdings arrive; the provider has no transactions for 777 ("Fehler 30").
      {"progress: close box", CloseBoxUser{}, -33, "bestandsdaten.csv"},
  };
  for (const Case& c : cases) {
    DeleteFileA((gHost.DataDir + "bestandsdaten.csv").c_str());
    gDispatchMs = 700;
    gUserActed = false;
    gProgressUser = c.User;
    const int32_t result = HostCalls([] { return Export(kProgressOptions, 1.0); });
    gProgressUser = nullptr;
    gDispatchMs = 0;
    gHost.Checks.Check(gUserActed, std::string(c.Name) + ": the window stayed up long enough to act");
    CheckResult(c.Name, result, c.Expected);
    const std::string files = FilesIn(gHost.DataDir);
    gHost.Checks.Check(files == c.DataFiles, std::string(c.Name) + ": the data directory holds \"" + files +
                                                 "\" (expected \"" + c.DataFiles + "\")");
  }
}

// --- Access-data dialog -----------------------------------------------------------------------

constexpr char kAccessCaption[] = "KORVALIX-Zugangsdaten";
#define TEN "0123456789"
constexpr char kTyped[] = TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN;
static_assert(sizeof kTyped == 201);

struct Buffers {
  std::vector<char> User, Password, Custom;
};

Buffers Filled() {
  auto filled = [](std::size_t size, std::string_view text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.resize(size, '\xCC');
    buffer[text.size()] = '\0';
    return buffer;
  };
  return {filled(KX_USER_NAME_BUFFER_SIZE, "berater01"), filled(KX_PASSWORD_BUFFER_SIZE, "geheim"),
          filled(KX_CUSTOM_DATA_BUFFER_SIZE, "UserLogin=12345\r\n")};
}

struct AccessDialog {
  HWND Window, User, Password;
};

void CheckAccessDialogOpened(const std::string& name, const AccessDialog& d) {
  bool texts = true;
  for (const char* text :
       {"Schnittstellen-Version:", "2.1.2", "KORVALIX Benutzername (Kundennummer)", "KORVALIX Passwort *",
        "*", "Wenn Sie das Passwort hier nicht eingeben, wird bei jedem Abruf der Daten danach gefragt.",
        "Anleitung", "Abbrechen", "OK"}) {
    texts = texts && ChildWithText(d.Window, text) != nullptr;
  }
  const bool masked = (GetWindowLongPtrA(d.Password, GWL_STYLE) & ES_PASSWORD) != 0 &&
                      SendMessageA(d.Password, EM_GETPASSWORDCHAR, 0, 0) == '*';
  gHost.Checks.Check(
      texts && masked && TextOf(d.User) == "berater01" && TextOf(d.Password) == "geheim" &&
          (GetWindowLongPtrA(d.Window, GWL_STYLE) & WS_SYSMENU) != 0 && OwnedByDisabledHost(d.Window) &&
          FocusOf(d.Window) == d.User,
      name +
          ": opened with every text, the version 2.1.2, the values, the password masked, a close box, owned "
          "by the host's active window, the host's windows disabled, focus in the user name");
}

// Tab walks user name, password, Abbrechen, OK, Anleitung and back to the user name.
void CheckTabOrder(const AccessDialog& d) {
  const HWND expected[] = {d.Password, ChildWithText(d.Window, "Abbrechen"), ChildWithText(d.Window, "OK"),
                           ChildWithText(d.Window, "Anleitung"), d.User};
  bool ok = true;
  for (HWND control : expected) {
    PressKey(VK_TAB);
    ok = ok && Eventually([&] { return FocusOf(d.Window) == control; });
  }
  gHost.Checks.Check(ok, "access data: the tab order");
}

// The field with the focus (the user name when the dialog opens) gets the new text.
void ReplaceUserName(std::string_view text) {
  PressKey(VK_HOME);
  PressShifted(VK_END);
  Type(text);
}

bool ManualOpened() {
  const std::string record = gHost.Folder + "manual-opened.txt";
  const std::string expected = gHost.Folder + "ImportApi\\KORVALIX\\Die Schnittstelle zu KORVALIX.pdf";
  for (int i = 0; i < 100 && !FileExists(record); ++i) Sleep(100);
  Sleep(200);
  char opened[MAX_PATH * 2] = {};
  if (FILE* in = std::fopen(record.c_str(), "rb"); in != nullptr) {
    opened[std::fread(opened, 1, sizeof opened - 1, in)] = '\0';
    std::fclose(in);
  }
  return gHost.Checks.Check(expected == opened, "access data: Anleitung opens " + Quoted(expected) +
                                                    " (the viewer got " + Quoted(opened) + ")");
}

using AccessUser = void (*)(const AccessDialog&);

struct AccessCase {
  const char* Name;
  AccessUser User;
  int32_t Expected;
  const char* UserBack;  // what the buffers hold after OK
  const char* PasswordBack;
};

const AccessCase kAccessCases[] = {
    {"access data: 200 characters typed, Enter",
     [](const AccessDialog& d) {
       Shot("access-data");
       CheckTabOrder(d);
       ReplaceUserName(kTyped);
       PressKey(VK_RETURN);
     },
     1, TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN TEN "0123456",  // the first 127 bytes
     "geheim"},
    {"access data: changed, then Escape",
     [](const AccessDialog&) {
       ReplaceUserName("neu");
       PressKey(VK_ESCAPE);
     },
     2, nullptr, nullptr},
    {"access data: changed, then the close box",
     [](const AccessDialog& d) {
       ReplaceUserName("neu");
       POINT box{};
       gHost.Checks.Check(CloseBoxPoint(d.Window, box), "access data: the dialog has a close box");
       ClickAt(box);
     },
     2, nullptr, nullptr},
    {"access data: changed, then Abbrechen",
     [](const AccessDialog& d) {
       ReplaceUserName("neu");
       Click(ChildWithText(d.Window, "Abbrechen"));
     },
     2, nullptr, nullptr},
    {"access data: Anleitung, then OK unchanged",
     [](const AccessDialog& d) {
       Click(ChildWithText(d.Window, "Anleitung"));
       ManualOpened();
       gHost.Checks.Check(StaysOpen(d.Window), "access data: the dialog stays open after Anleitung");
       Click(ChildWithText(d.Window, "OK"));
     },
     1, "berater01", "geheim"},
};

// A dialog that the user's last step did not close fails the case with what the click met, and
// is cancelled, so that the cases after it still run instead of the host waiting for ever.
void CloseIfStillOpen(const std::string& name, HWND window) {
  if (WaitUntilGone(window, 20000)) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  HWND under = WindowFromPoint(cursor);
  DWORD_PTR answer = 0;
  const bool responds = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer) != 0;
  Shot("access-data-still-open");
  gHost.Checks.Check(false, name + ": the dialog still open 20 s after the last step; the pointer at " +
                                std::to_string(cursor.x) + "," + std::to_string(cursor.y) + " over " +
                                Quoted(TextOf(under)) + " (" + ClassOf(under) + ") of " +
                                Quoted(TextOf(GetAncestor(under, GA_ROOT))) + ", in front " +
                                Quoted(TextOf(GetForegroundWindow())) + ", the dialog's thread " +
                                (responds ? "answers" : "does not answer"));
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
}

void RunAccessDataCases() {
  for (const AccessCase& c : kAccessCases) {
    Buffers buffers = Filled();
    const Buffers before = buffers;
    const int32_t result = HostCalls(
        [&buffers] {
          return gHost.Api.ApiDataDialog(buffers.User.data(), buffers.Password.data(), buffers.Custom.data());
        },
        [&c] {
          AccessDialog d{WaitForWindow(kAccessCaption), nullptr, nullptr};
          if (!gHost.Checks.Check(d.Window != nullptr, std::string(c.Name) + ": the dialog opens")) return;
          d.User = ChildOfClass(d.Window, "Edit", 0);
          d.Password = ChildOfClass(d.Window, "Edit", 1);
          CheckAccessDialogOpened(c.Name, d);
          c.User(d);
          CloseIfStillOpen(c.Name, d.Window);
        });
    CheckResult(c.Name, result, c.Expected);
    const std::string user = buffers.User.data(), password = buffers.Password.data();
    const std::string custom = buffers.Custom.data();
    if (c.UserBack != nullptr) {
      gHost.Checks.Check(user == c.UserBack && password == c.PasswordBack && custom.empty(),
                         std::string(c.Name) + ": back " + Quoted(user) + " (" + std::to_string(user.size()) +
                             " bytes), " + Quoted(password) + ", extra data " + Quoted(custom));
    } else {
      gHost.Checks.Check(buffers.User == before.User && buffers.Password == before.Password &&
                             buffers.Custom == before.Custom,
                         std::string(c.Name) + ": all three buffers untouched");
    }
  }
}

int32_t AccessDataDialogCall() {
  Buffers buffers = Filled();
  return gHost.Api.ApiDataDialog(buffers.User.data(), buffers.Password.data(), buffers.Custom.data());
}

// --- Modal windows while the host's thread has no active window --------------------------------

// The window has no owner then, and the host's windows are disabled all the same.
void RunNoActiveWindowCases() {
  struct Case {
    const char* Name;
    const char* Caption;
    int32_t (*Call)();
    int32_t Expected;  // after "Abbrechen"
  };
  const Case cases[] = {
      {"PIN prompt, no active window on the host's thread", kPinCaption,
       [] { return Export(kPinOptions, 1.0); }, -15},
      {"access data, no active window on the host's thread", kAccessCaption, &AccessDataDialogCall, 2},
  };
  for (const Case& c : cases) {
    const int32_t result = HostCalls(
        [&c] {
          const WindowElsewhere elsewhere;
          return c.Call();
        },
        [&c] {
          HWND window = WaitForWindow(c.Caption);
          if (!gHost.Checks.Check(window != nullptr, std::string(c.Name) + ": the window opens")) return;
          gHost.Checks.Check(GetWindow(window, GW_OWNER) == nullptr && HostDisabled(),
                             std::string(c.Name) + ": no owner, the host's windows disabled");
          Click(ChildWithText(window, "Abbrechen"));
        });
    CheckResult(c.Name, result, c.Expected);
  }
}

// --- Layouts ----------------------------------------------------------------------------------

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

std::string SizeText(const RECT& rect) {
  return std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
}

// Where the control's text does not fit its client rect, measured in the control's font and
// broken at words where the control breaks it; empty when it fits. An edit field scrolls its text
// sideways: there one line of its font must fit the height.
std::string TextFault(HWND control) {
  const std::string windowClass = ClassOf(control);
  const std::string text = TextOf(control);
  const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
  const bool edit = lstrcmpiA(windowClass.c_str(), "Edit") == 0;
  const LONG_PTR staticType = style & SS_TYPEMASK;
  const bool wraps = lstrcmpiA(windowClass.c_str(), "Static") == 0
                         ? staticType == SS_LEFT || staticType == SS_CENTER || staticType == SS_RIGHT
                         : lstrcmpiA(windowClass.c_str(), "Button") == 0 && (style & BS_MULTILINE) != 0;
  RECT client{};
  GetClientRect(control, &client);
  HDC dc = GetDC(control);
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the message answers with the handle as its number
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  RECT needed{0, 0, client.right, 0};
  if (edit) {
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    needed.bottom = metrics.tmHeight;
  } else {
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
  }
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  if (needed.bottom <= client.bottom && (edit || needed.right <= client.right)) return "";
  return " " + Quoted(text) + " needs " + SizeText(needed) + " in " + SizeText(client) + ";";
}

// Every text fits its control, no control overlaps another or reaches past the window's client
// area: what is wrong, or empty.
std::string LayoutFaults(HWND window) {
  RECT area{};
  GetClientRect(window, &area);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
  const std::vector<HWND> controls = Children(window);
  std::string faults;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    faults += TextFault(controls[i]);
    const RECT rect = WindowRect(controls[i]);
    RECT inside{};
    if (!IntersectRect(&inside, &rect, &area) || !EqualRect(&inside, &rect)) {
      faults += " " + Quoted(TextOf(controls[i])) + " reaches past the window;";
    }
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      const RECT other = WindowRect(controls[j]);
      RECT common{};
      if (IntersectRect(&common, &rect, &other)) {
        faults += " " + Quoted(TextOf(controls[i])) + " overlaps " + Quoted(TextOf(controls[j])) + ";";
      }
    }
  }
  return faults;
}

// The user measures the window while it is up, then closes it with its button.
void CheckLayout(const std::string& name, const char* caption, const char* button) {
  HWND window = WaitForWindow(caption);
  if (!gHost.Checks.Check(window != nullptr, name + ": the window opens")) return;
  const std::string faults = LayoutFaults(window);
  gHost.Checks.Check(
      faults.empty(),
      name + ": every text fits its control, no control overlaps another or leaves the window" + faults);
  Click(ChildWithText(window, button));
}

void RunLayoutCases() {
  struct Case {
    const char* Window;
    const char* Caption;
    int32_t (*Call)();
    const char* Button;
    int32_t Expected;
  };
  const Case cases[] = {
      {"PIN prompt", kPinCaption, [] { return Export(kPinOptions, 1.0); }, "Abbrechen", -15},
      {"access data", kAccessCaption, &AccessDataDialogCall, "Abbrechen", 2},
      // The host's thread takes the measuring messages while its callback dispatches.
      {"progress", "Info", [] { return Export(kProgressOptions, 1.0); }, "Download abbrechen", -1015},
  };
  gDispatchMs = 700;
  for (const Case& c : cases) {
    const std::string name = std::string(c.Window) + " layout";
    const int32_t result = HostCalls(c.Call, [&c, &name] { CheckLayout(name, c.Caption, c.Button); });
    CheckResult(name, result, c.Expected);
  }
  gDispatchMs = 0;
}

// --- Setting up -------------------------------------------------------------------------------

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  const std::string file(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return file.substr(0, file.find_last_of('\\') + 1);
}

void SetValue(const std::string& key, const std::string& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
  }
}

// This program as the user's viewer of .pdf files, and the manual where the dialog looks for it.
void PrepareManual() {
  SetValue(".pdf", "KxTest.Manual");
  SetValue("KxTest.Manual\\shell\\open\\command",
           "\"" + gHost.Folder + "kxwindows_win.exe\" --record \"%1\"");
  CreateDirectoryA((gHost.Folder + "ImportApi").c_str(), nullptr);
  CreateDirectoryA((gHost.Folder + "ImportApi\\KORVALIX").c_str(), nullptr);
  if (FILE* out =
          std::fopen((gHost.Folder + "ImportApi\\KORVALIX\\Die Schnittstelle zu KORVALIX.pdf").c_str(), "wb");
      out != nullptr) {
    std::fputs("%PDF-1.4\n", out);
    std::fclose(out);
  }
  DeleteFileA((gHost.Folder + "manual-opened.txt").c_str());
}

void ForgetManualViewer() {
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "KxTest.Manual");
  RegDeleteKeyA(HKEY_CLASSES_ROOT, ".pdf");
}

int Record(const char* opened) {
  if (FILE* out = std::fopen((ProgramFolder() + "manual-opened.txt").c_str(), "wb"); out != nullptr) {
    std::fputs(opened, out);
    std::fclose(out);
  }
  return 0;
}

HWND MakeHostWindow(const char* caption, int left, int top, int width, int height) {
  return CreateWindowExA(0, "KxTestHost", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, left, top, width, height,
                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// The host's windows: two below the one it calls the library from, one of them disabled.
void MakeHostWindows() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_APPWORKSPACE);
  windowClass.lpszClassName = "KxTestHost";
  RegisterClassA(&windowClass);
  gHost.Other = MakeHostWindow("KX Testhost Liste", 10, 420, 300, 150);
  gHost.Disabled = MakeHostWindow("KX Testhost gesperrt", 330, 420, 300, 150);
  EnableWindow(gHost.Disabled, FALSE);
  gHost.Window = MakeHostWindow("KX Testhost", 10, 10, 640, 400);
  Dispatch(300);
}

bool Parse(int argc, char** argv, std::string& dll) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--dll=")) {
      dll = arg.substr(6);
    } else if (arg.starts_with("--data-dir=")) {
      gHost.DataDir = arg.substr(11);
    } else if (arg.starts_with("--shots=")) {
      gHost.Shots = arg.substr(8);
    } else {
      return false;
    }
  }
  return !dll.empty() && !gHost.DataDir.empty() && !gHost.Shots.empty();
}

template <typename Function>
Function Find(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--record") return Record(argv[2]);
  std::string dll;
  if (!Parse(argc, argv, dll)) {
    std::fprintf(stderr, "usage: kxwindows_win.exe --dll=PATH --data-dir=DIR --shots=DIR\n");
    return 2;
  }
  gHost.Folder = ProgramFolder();
  HMODULE library = LoadLibraryA(dll.c_str());
  if (library == nullptr) {
    std::printf("FAIL LoadLibraryA(%s), error %lu\n", dll.c_str(), GetLastError());
    return 1;
  }
  Exports& api = gHost.Api;
  api.RegProgrCallback = Find<decltype(api.RegProgrCallback)>(library, "RegProgrCallback");
  api.ExportXML = Find<decltype(api.ExportXML)>(library, "ExportXML");
  api.ApiDataDialog = Find<decltype(api.ApiDataDialog)>(library, "ApiDataDialog");
  if (api.RegProgrCallback == nullptr || api.ExportXML == nullptr || api.ApiDataDialog == nullptr) {
    std::printf("FAIL the exports are not found by name\n");
    return 1;
  }
  MakeHostWindows();
  PrepareManual();
  api.RegProgrCallback(&OnProgress);

  RunPinCases();
  RunNoticeCases();
  RunProgressCases();
  RunAccessDataCases();
  RunNoActiveWindowCases();
  RunLayoutCases();

  api.RegProgrCallback(nullptr);
  ForgetManualViewer();
  for (HWND window : {gHost.Window, gHost.Other, gHost.Disabled}) DestroyWindow(window);
  FreeLibrary(library);
  std::printf("%d checks, %d failed\n", gHost.Checks.Checks(), gHost.Checks.Failures());
  return gHost.Checks.Failures() == 0 ? 0 : 1;
}
