// Handing the patient's internal number to the perimetry application.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace patlink {

struct HandOffTimings {
  // The wait after a start lasts until more than this many whole seconds passed.
  std::chrono::seconds wait_limit{20};
  // Pause between attempts, so the starting application gets the processor.
  std::chrono::milliseconds pause{50};
  // Bound on each delivery, so a hung application cannot hold the run.
  std::chrono::milliseconds delivery_bound{10000};
};

enum class HandOffOutcome {
  kSentToRunningApplication,  // the reply is not examined
  kAccepted,                  // started, then the window answered 1
  kNotAccepted,               // started, but no acceptance before the limit
  kStartRefused,
};

struct HandOffResult {
  HandOffOutcome outcome;
  std::intptr_t start_result = 0;
  int attempts = 0;  // messages sent
};

// Never throws on its own account.
HandOffResult SendPatientToPerimeter(std::int32_t PatientKey, const HandOffTimings& timings = {});

std::string Describe(const HandOffResult& result);

}  // namespace patlink
