#include "kximport/RunInterrupt.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <stdexcept>

#include "ImpApiKorvalix.h"
#include "Language.h"

namespace kximport {
namespace {

// Long enough for the transfer's next poll (the library asks its cancel at least once a second
// while a transfer waits, and 200 ms while data arrive), short enough to end within a second.
constexpr auto kTransferGrace = std::chrono::milliseconds(700);

sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  return set;
}

}  // namespace

RunInterrupt::RunInterrupt(Abandon onAbandon) : onAbandon_(std::move(onAbandon)), runThread_(pthread_self()) {
  if (termios saved{}; isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &saved) == 0) terminal_ = saved;
  // A shell starts background jobs with SIGINT ignored, and an ignored signal never reaches
  // sigwait; blocked, the default disposition does nothing either.
  std::signal(SIGINT, SIG_DFL);
  const sigset_t set = InterruptSet();
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) throw std::runtime_error("cannot block SIGINT");
  watcher_ = std::thread([this] { Watch(); });
}

RunInterrupt::~RunInterrupt() {
  {
    const std::lock_guard lock(mutex_);
    runEnded_ = true;
    stopping_ = true;
  }
  pthread_kill(watcher_.native_handle(), SIGINT);  // wakes the sigwait; the flag says it is no Ctrl+C
  watcher_.join();
}

void RunInterrupt::Watch() {
  const sigset_t set = InterruptSet();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    std::unique_lock lock(mutex_);
    if (stopping_) return;
    const bool again = interrupted_.exchange(true);
    // The run has returned after an interrupt: its thread says what ended. A second SIGINT
    // (timeout(1) signals the child and then its process group) changes nothing.
    if (again && runEnded_) continue;
    const RunStage stage = stage_;
    if (!again) interruptedAt_ = stage;
    if ((stage == RunStage::Transfer || stage == RunStage::Waiting) && !again && !runEnded_) {
      // The progress window's cancel: the run returns its cancel code and the run's thread ends
      // the process itself.
      pthread_kill(runThread_, SIGINT);
      if (ended_.wait_for(lock, kTransferGrace, [this] { return runEnded_; })) continue;
    }
    lock.unlock();
    if (ClaimExit()) onAbandon_(stage_);
  }
}

void RunInterrupt::Track(int32_t kind, int32_t value, std::string_view text) {
  if (kind == KX_PROGRESS_STATUS) {
    if (text.starts_with("Daten abrufen")) stage_ = RunStage::BeforeAnswer;
    if (text.starts_with("Import ")) stage_ = RunStage::Load;
    if (text.starts_with("Die Staging-Datenbank wird gerade")) stage_ = RunStage::Waiting;
    if (text.starts_with("Erstelle XML-Datei")) stage_ = RunStage::Document;
  } else if (kind == KX_PROGRESS_POSITION) {
    // The progress window announces itself with a step of 5 after the answer's head; the load
    // begins with a step of 10.
    if (value == 5 && stage_ == RunStage::BeforeAnswer) stage_ = RunStage::Transfer;
    if (value == 10) stage_ = RunStage::Load;
  } else if (kind == KX_PROGRESS_LOG && text.starts_with("Datendatei geladen")) {
    stage_ = RunStage::BeforeAnswer;  // the next file's request
  }
}

void RunInterrupt::RunEnded() {
  {
    const std::lock_guard lock(mutex_);
    runEnded_ = true;
  }
  stage_ = RunStage::After;
  ended_.notify_all();
}

void RunInterrupt::RestoreTerminal() const {
  if (terminal_) tcsetattr(STDIN_FILENO, TCSANOW, &*terminal_);
}

std::string RunInterrupt::Line(RunStage stage) {
  using kx::tools::Say;
  switch (stage) {
    case RunStage::BeforeAnswer:
      return Say(
          "Abgebrochen (Strg+C), bevor der Anbieter geantwortet hat; die bisherige KORVALIX.XML bleibt "
          "unverändert.",
          "Interrupted (Ctrl+C) before the provider answered; the previous KORVALIX.XML is unchanged.");
    case RunStage::Transfer:
      return Say(
          "Abgebrochen (Strg+C) während der Übertragung einer Datei des Anbieters; die bisherigen "
          "Dateien bleiben unverändert.",
          "Interrupted (Ctrl+C) while a provider file was transferred; the previous files are "
          "unchanged.");
    case RunStage::Waiting:
      return Say(
          "Abgebrochen (Strg+C) beim Warten auf die Staging-Datenbank, die ein anderer Import benutzt; sie "
          "und "
          "die bisherige KORVALIX.XML bleiben unverändert.",
          "Interrupted (Ctrl+C) while waiting for the staging database, which another import uses; it and "
          "the "
          "previous KORVALIX.XML are unchanged.");
    case RunStage::Load:
      return Say(
          "Abgebrochen (Strg+C) beim Laden in die Staging-Datenbank; die bisherige KORVALIX.XML bleibt "
          "unverändert.",
          "Interrupted (Ctrl+C) while loading into the staging database; the previous KORVALIX.XML is "
          "unchanged.");
    case RunStage::Document:
      return Say(
          "Abgebrochen (Strg+C) beim Schreiben von KORVALIX.XML; die bisherige Datei bleibt unverändert.",
          "Interrupted (Ctrl+C) while writing KORVALIX.XML; the previous file is unchanged.");
    case RunStage::After:
      break;
  }
  return Say("Abgebrochen (Strg+C) nach dem Import; KORVALIX.XML ist geschrieben.",
             "Interrupted (Ctrl+C) after the import; KORVALIX.XML is written.");
}

KeptDocument::KeptDocument(std::string path) : path_(std::move(path)), kept_(path_ + ".kxprev") {
  unlink(kept_.c_str());  // from a run that was killed outright
  held_ = link(path_.c_str(), kept_.c_str()) == 0;
}

KeptDocument::~KeptDocument() {
  if (held_) unlink(kept_.c_str());
}

void KeptDocument::Restore() const {
  if (!held_) return;
  // When the document was not touched both names are the same file and rename leaves both.
  rename(kept_.c_str(), path_.c_str());
  unlink(kept_.c_str());
}

}  // namespace kximport
