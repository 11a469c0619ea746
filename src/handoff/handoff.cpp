#include "handoff/handoff.h"

#include <thread>

#include "platform/platform.h"

namespace patlink {

namespace {

constexpr char kMainWindowClass[] = "TPerimeterMainForm";
constexpr unsigned kPatientMessage = 1025;  // WM_USER + 1
constexpr std::uintptr_t kPatientMessageParameter = 1;
constexpr std::intptr_t kAccepted = 1;
constexpr char kProgramFile[] = "perimeter.exe";
constexpr char kProgramFolder[] = "C:\\AUTOMATED_PERIMETER";
constexpr char kProgramParameter[] = "144";

}  // namespace

HandOffResult SendPatientToPerimeter(std::int32_t PatientKey, const HandOffTimings& timings) {
  HandOffResult result{HandOffOutcome::kNotAccepted};
  if (auto window = platform::FindWindowByClass(kMainWindowClass)) {
    platform::SendMessageWithin(*window, kPatientMessage, kPatientMessageParameter, PatientKey,
                                timings.delivery_bound);
    result.outcome = HandOffOutcome::kSentToRunningApplication;
    result.attempts = 1;
    return result;
  }
  result.start_result = platform::StartProgram("open", kProgramFile, kProgramParameter, kProgramFolder);
  if (result.start_result <= 32) {
    result.outcome = HandOffOutcome::kStartRefused;
    return result;
  }
  // A monotonic clock: the time of day would end the wait at midnight.
  const auto started = std::chrono::steady_clock::now();
  while (true) {
    if (auto window = platform::FindWindowByClass(kMainWindowClass)) {
      ++result.attempts;
      const auto reply = platform::SendMessageWithin(*window, kPatientMessage,
                                                     kPatientMessageParameter, PatientKey,
                                                     timings.delivery_bound);
      if (reply == kAccepted) {
        result.outcome = HandOffOutcome::kAccepted;
        return result;
      }
    }
    const auto waited =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    if (waited > timings.wait_limit) return result;
    std::this_thread::sleep_for(timings.pause);
  }
}

std::string Describe(const HandOffResult& result) {
  switch (result.outcome) {
    case HandOffOutcome::kSentToRunningApplication:
      return "sent to the running perimetry application";
    case HandOffOutcome::kAccepted:
      return "perimetry application started and accepted after " +
             std::to_string(result.attempts) + " message(s)";
    case HandOffOutcome::kNotAccepted:
      return "perimetry application started but did not accept (" +
             std::to_string(result.attempts) + " message(s))";
    case HandOffOutcome::kStartRefused:
      return "perimetry application could not be started (result " +
             std::to_string(result.start_result) + ")";
  }
  return {};
}

}  // namespace patlink
