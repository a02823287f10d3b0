// A host with a window, for the Wine tests of whole runs as a user makes them: a main window that
// owns the library's modal windows, a progress callback that dispatches the window messages (as
// a real host's does, so the progress window repaints and reacts), and a second thread that acts
// as the user: it types the PIN into the PIN prompt and confirms it with "Ok".
//
//   kxhostui_win.exe --dll=PATH --output=DIR --pin=PIN [--runs=N] [--last-import=VALUE]
//                    [--settle=N] [NAME=VALUE...]
//
// Every NAME=VALUE argument becomes one line of the option text, each ended by CR LF. Makes N runs
// (default 1) in this one process and prints
//
//   run I result=CODE prompts=P progress-window=yes|no   after each run
//   line KIND VALUE TEXT                                  the lines of a failed run (and of run 1)
//   resources after run I: GDI g, USER u, handles h      after run --settle (default 5) and the last
//
// Exit code 0 when every run returned 0, the PIN prompt was answered in each, the progress window
// was seen in each, and (with more runs than --settle) the GDI, USER and handle counts after the
// last run are those after run --settle (kernel handles within two); 1 otherwise; 2 for a wrong
// command line.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ImpApiKorvalix.h"
#include "Printable.h"
#include "ProcessResources.h"

namespace {

constexpr const char* kPinPromptCaption = "KORVALIX Zugangsberechtigung";
constexpr const char* kProgressCaption = "Info";
constexpr unsigned long kHandleJitter = 2;

struct Arguments {
  std::string DllPath;
  std::string OutputDir;
  std::string Pin;
  std::string Options;
  int Runs = 1;
  int Settle = 5;
  double LastImport = 1.0;
  bool Ok = true;
};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

Arguments Parse(int argc, char** argv) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (StartsWith(arg, "--dll=")) {
      args.DllPath = arg.substr(6);
    } else if (StartsWith(arg, "--output=")) {
      args.OutputDir = arg.substr(9);
    } else if (StartsWith(arg, "--pin=")) {
      args.Pin = arg.substr(6);
    } else if (StartsWith(arg, "--runs=")) {
      args.Runs = std::atoi(argv[i] + 7);
    } else if (StartsWith(arg, "--settle=")) {
      args.Settle = std::atoi(argv[i] + 9);
    } else if (StartsWith(arg, "--last-import=")) {
      args.LastImport = std::strtod(argv[i] + 14, nullptr);
    } else if (!StartsWith(arg, "--") && arg.find('=') != std::string_view::npos) {
      args.Options += std::string(arg) + "\r\n";
    } else {
      args.Ok = false;
    }
  }
  args.Ok = args.Ok && !args.DllPath.empty() && !args.OutputDir.empty() && !args.Pin.empty() && args.Runs > 0;
  if (!args.Ok) {
    std::fprintf(stderr,
                 "usage: kxhostui_win.exe --dll=PATH --output=DIR --pin=PIN [--runs=N] [--last-import=VALUE] "
                 "[--settle=N] [NAME=VALUE...]\n");
  }
  return args;
}

// What one run saw; the callback and the user thread fill it in.
struct RunRecord {
  std::vector<std::string> Lines;
  bool ProgressWindowSeen = false;
};
RunRecord& Current() {
  static RunRecord record;
  return record;
}

void DispatchPending() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// The host's callback: records the line, notes the progress window, and lets the windows work.
void KX_CALL OnProgress(int32_t kind, int32_t value, const char* text) {
  Current().Lines.push_back("line " + std::to_string(kind) + " " + std::to_string(value) + " " +
                            Printable(text != nullptr ? text : "(null)"));
  const HWND progress = FindWindowA(nullptr, kProgressCaption);
  if (progress != nullptr && IsWindowVisible(progress)) Current().ProgressWindowSeen = true;
  DispatchPending();
}
constexpr ProgressCallback kOnProgress = &OnProgress;

// The user: waits for the PIN prompt, types the PIN into its edit field key by key and clicks
// "Ok". Counts the prompts it answered.
class PinTypist {
 public:
  explicit PinTypist(std::string pin) : pin_(std::move(pin)), thread_([this] { Loop(); }) {}
  ~PinTypist() {
    stop_ = true;
    thread_.join();
  }
  PinTypist(const PinTypist&) = delete;
  PinTypist& operator=(const PinTypist&) = delete;
  int Answered() const { return answered_; }

 private:
  void Loop() {
    while (!stop_) {
      const HWND prompt = FindWindowA(nullptr, kPinPromptCaption);
      if (prompt != nullptr && IsWindowVisible(prompt) && prompt != last_) {
        Answer(prompt);
      }
      Sleep(50);
    }
  }

  void Answer(HWND prompt) {
    const HWND edit = FindWindowExA(prompt, nullptr, "Edit", nullptr);
    const HWND ok = FindWindowExA(prompt, nullptr, "Button", "Ok");
    if (edit == nullptr || ok == nullptr) return;
    SetWindowTextA(edit, "");
    for (const char c : pin_) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    if (!IsWindowEnabled(ok)) return;  // "Ok" follows the field: not there yet, the next round types anew
    last_ = prompt;
    ++answered_;
    PostMessageA(ok, BM_CLICK, 0, 0);
  }

  std::string pin_;
  std::atomic<bool> stop_{false};
  std::atomic<int> answered_{0};
  HWND last_ = nullptr;
  std::thread thread_;
};

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// The host's main window, active while the runs are made: the library's modal windows take it
// as their owner.
HWND CreateHostWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &HostWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "KxTestHost";
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassA(&windowClass);
  const HWND window = CreateWindowExA(0, "KxTestHost", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 400,
                                      300, nullptr, nullptr, windowClass.hInstance, nullptr);
  SetActiveWindow(window);
  DispatchPending();
  return window;
}

template <typename Function>
Function* Find(HMODULE module, const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments args = Parse(argc, argv);
  if (!args.Ok) return 2;
  const HWND host = CreateHostWindow();
  const HMODULE library = LoadLibraryA(args.DllPath.c_str());
  auto* regProgrCallback = Find<decltype(RegProgrCallback)>(library, "RegProgrCallback");
  auto* exportXml = Find<decltype(ExportXML)>(library, "ExportXML");
  if (library == nullptr || regProgrCallback == nullptr || exportXml == nullptr) {
    std::printf("FAIL cannot load %s or its exports (error %lu)\n", args.DllPath.c_str(), GetLastError());
    return 1;
  }
  regProgrCallback(kOnProgress);

  bool ok = true;
  ProcessResources settled;
  PinTypist typist(args.Pin);
  for (int run = 1; run <= args.Runs; ++run) {
    Current() = RunRecord{};
    const int before = typist.Answered();
    const int32_t result =
        exportXml(args.OutputDir.c_str(), "12345", 0, &args.LastImport, args.Options.c_str());
    const int prompts = typist.Answered() - before;
    const bool good = result == 0 && prompts == 1 && Current().ProgressWindowSeen;
    ok = ok && good;
    std::printf("run %d result=%ld prompts=%d progress-window=%s\n", run, static_cast<long>(result), prompts,
                Current().ProgressWindowSeen ? "yes" : "no");
    if (!good || run == 1) {
      for (const std::string& line : Current().Lines) std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    if (run == args.Settle || run == args.Runs) {
      const ProcessResources now = CurrentProcessResources();
      std::printf("resources after run %d: %s\n", run, now.Describe().c_str());
      if (run == args.Settle) settled = now;
      if (run == args.Runs && args.Runs > args.Settle) {
        // Equal, but for a kernel handle or two that come and go with the library's own doing
        // (WinInet's connection cache, which keeps the last connection open for a while): a leak
        // of one object per run would stand out by the number of runs.
        const bool flat = now.Gdi == settled.Gdi && now.User == settled.User &&
                          now.Handles <= settled.Handles + kHandleJitter;
        std::printf("%s resources flat from run %d to run %d\n", flat ? "ok  " : "FAIL", args.Settle, run);
        ok = ok && flat;
      }
    }
    if (!good && run > 1) break;  // one failed run says enough; the rest would repeat it
  }
  regProgrCallback(nullptr);
  FreeLibrary(library);
  DestroyWindow(host);
  return ok ? 0 : 1;
}
