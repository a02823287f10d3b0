#include "kximport/RunInterrupt.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <stdexcept>

#include "ImpApiKorvalix.h"
#include "Language.h"
#include "platform/RunStageReport.h"
#include "util/ProviderIdentity.h"

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
  // The library reports each stage it reaches as one datagram on this socket pair.
  if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, stageSockets_) != 0)
    throw std::runtime_error("cannot create the stage socket");
  setenv(kx::kStageSocketVariable, std::to_string(stageSockets_[1]).c_str(), 1);
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
  unsetenv(kx::kStageSocketVariable);
  close(stageSockets_[0]);
  close(stageSockets_[1]);
}

RunStage RunInterrupt::StageLocked() {
  unsigned char stage = 0;
  while (recv(stageSockets_[0], &stage, 1, MSG_DONTWAIT) == 1) {
    if (stage >= static_cast<unsigned char>(RunStage::BeforeAnswer) &&
        stage <= static_cast<unsigned char>(RunStage::After))
      stage_ = static_cast<RunStage>(stage);
  }
  return stage_;
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
    const RunStage stage = StageLocked();
    if (!again) interruptedAt_ = stage;
    if ((stage == RunStage::Transfer || stage == RunStage::Waiting) && !again && !runEnded_) {
      // The progress window's cancel: the run returns its cancel code and the run's thread ends
      // the process itself.
      pthread_kill(runThread_, SIGINT);
      if (ended_.wait_for(lock, kTransferGrace, [this] { return runEnded_; })) continue;
    }
    const RunStage now = StageLocked();
    lock.unlock();
    if (ClaimExit()) onAbandon_(now);
  }
}

void RunInterrupt::RunEnded() {
  {
    const std::lock_guard lock(mutex_);
    runEnded_ = true;
    StageLocked();
    stage_ = RunStage::After;
  }
  ended_.notify_all();
}

void RunInterrupt::RestoreTerminal() const {
  if (terminal_) tcsetattr(STDIN_FILENO, TCSANOW, &*terminal_);
}

namespace {

using kx::tools::Say;

// "a", "a und b"
std::string Names(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? Say(" und ", " and ") : ", ";
    text += names[i];
  }
  return text;
}

// What the interrupted run leaves: the provider files as they were (put back where the run had
// replaced them) and the earlier document.
std::string WhatStays(const std::vector<std::string>& putBack) {
  if (putBack.empty()) {
    return Say("die bisherigen Dateien des Anbieters und KORVALIX.XML bleiben unverändert.",
               "the previous provider files and KORVALIX.XML are unchanged.");
  }
  const bool one = putBack.size() == 1;
  return Names(putBack) +
         Say(one ? " ist wieder wie vor dem Lauf" : " sind wieder wie vor dem Lauf",
             one ? " is back as before the run" : " are back as before the run") +
         Say(", KORVALIX.XML bleibt unverändert.", ", KORVALIX.XML is unchanged.");
}

}  // namespace

std::string RunInterrupt::Line(RunStage stage, const std::vector<std::string>& putBack) {
  const std::string stays = WhatStays(putBack);
  // The provider's two files come one after the other, each replacing its earlier one only when
  // complete: the files the run had replaced say how far the requests had come.
  const bool firstAnswered = !putBack.empty();
  const bool bothAnswered = std::find(putBack.begin(), putBack.end(), kx::kTransactionsFile) != putBack.end();
  switch (stage) {
    case RunStage::BeforeAnswer:
      if (bothAnswered) {
        return Say("Abgebrochen (Strg+C), nachdem der Anbieter beide Dateien geliefert hatte, vor dem "
                   "Laden; ",
                   "Interrupted (Ctrl+C) after the provider had delivered both files, before the load; ") +
               stays;
      }
      if (firstAnswered) {
        return Say("Abgebrochen (Strg+C), bevor der Anbieter die zweite Anfrage beantwortet hat; ",
                   "Interrupted (Ctrl+C) before the provider answered the second request; ") +
               stays;
      }
      return Say("Abgebrochen (Strg+C), bevor der Anbieter geantwortet hat; ",
                 "Interrupted (Ctrl+C) before the provider answered; ") +
             stays;
    case RunStage::Transfer: {
      const std::string file(firstAnswered ? kx::kTransactionsFile : kx::kHoldingsFile);
      return Say("Abgebrochen (Strg+C) während der Übertragung von " + file + "; ",
                 "Interrupted (Ctrl+C) while " + file + " was transferred; ") +
             stays;
    }
    case RunStage::Waiting:
      return Say("Abgebrochen (Strg+C) beim Warten auf die Staging-Datenbank, die ein anderer Import "
                 "benutzt; "
                 "sie ist unberührt, ",
                 "Interrupted (Ctrl+C) while waiting for the staging database, which another import uses; it "
                 "is untouched, ") +
             stays;
    case RunStage::Load:
      return Say("Abgebrochen (Strg+C) beim Laden in die Staging-Datenbank; ",
                 "Interrupted (Ctrl+C) while loading into the staging database; ") +
             stays;
    case RunStage::Document:
      return Say("Abgebrochen (Strg+C) beim Schreiben von KORVALIX.XML; ",
                 "Interrupted (Ctrl+C) while writing KORVALIX.XML; ") +
             stays;
    case RunStage::After:
      break;
  }
  return Say("Abgebrochen (Strg+C) nach dem Import; KORVALIX.XML ist geschrieben.",
             "Interrupted (Ctrl+C) after the import; KORVALIX.XML is written.");
}

}  // namespace kximport
