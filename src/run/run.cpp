#include "run/run.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "cmdline/command_line.h"
#include "config/database_location.h"
#include "handoff/handoff.h"
#include "platform/platform.h"
#include "registration/registration.h"
#include "run/trace.h"
#include "store/DMUnit.h"

namespace patlink {

const Program kPatlink{"patlink", true, kPatlinkStore};
const Program kPatlinkLocal{"patlink-local", false, kPatlinkLocalStore};

namespace {

// Two runs for the same new patient (a double click in the caller) must not
// both register it.
constexpr char kRegistrationLock[] = "patlink-registration";
constexpr std::chrono::seconds kRegistrationLockBound{15};

// What the run owns from its start to its end.
struct RunState {
  std::vector<std::string> parameters;  // as given, UTF-8
  std::unique_ptr<ServerLines> server_lines;
  std::unique_ptr<TDM> DM;
};

// A failure that escapes the guarded stage and is shown to the user.
struct UnhandledFailure {
  std::string kind;
  std::string message;
};

class Tracer {
 public:
  explicit Tracer(std::string_view program) : program_(program) {}
  void operator()(const std::string& text) const { platform::Trace(program_, text); }

 private:
  std::string_view program_;
};

PatientParticulars ReadParticulars(const std::vector<std::string>& parameters) {
  PatientParticulars patient;
  std::string* fields[] = {&patient.ParamLastName, &patient.ParamFirstName,
                           &patient.ParamBirthDate, &patient.ParamPatientId};
  for (std::size_t i = 0; i < parameters.size() && i < 4; ++i)
    *fields[i] = Utf8ToWin1250(parameters[i]);
  return patient;
}

// Steps 5 to 8: everything whose failure the run absorbs.
void GuardedStage(const Program& program, RunState& run, const Tracer& trace) {
  const PatientParticulars patient = ReadParticulars(run.parameters);
  run.DM = std::make_unique<TDM>(program.store);
  if (program.reads_server_configuration)
    run.DM->IBDatabase.SetDatabaseName(BuildDatabaseName(*run.server_lines));
  trace("connecting to " + run.DM->IBDatabase.DatabaseName());
  run.DM->IBDatabase.Open();
  run.DM->IBTransaction.StartTransaction();
  run.DM->PatientsIBDataSet.Open();

  PatientLookup lookup;
  {
    platform::SystemLock lock(kRegistrationLock, kRegistrationLockBound);
    lookup = FindOrRegisterPatient(*run.DM, patient);
  }
  trace(std::string(lookup.registered ? "patient registered" : "patient found") + ", ID " +
        std::to_string(lookup.PatientKey));
  if (!lookup.confirmed) {
    trace("ID " + std::to_string(lookup.PatientKey) + " not found again; no hand-off");
    return;
  }
  trace("hand-off: " + Describe(SendPatientToPerimeter(lookup.PatientKey)));
}

}  // namespace

int Run(const Program& program, const std::vector<std::string>& parameters) {
  const Tracer trace(program.name);
  trace(DescribeParameters(parameters));
  RunState run;
  run.parameters = parameters;
  std::optional<UnhandledFailure> unhandled;
  try {
    if (program.reads_server_configuration)
      run.server_lines = std::make_unique<ServerLines>(BuildServerLines());
    try {
      GuardedStage(program, run, trace);
    } catch (const std::exception& failure) {
      trace("failure, no hand-off: " + DescribeFailure(failure));
      if (run.DM && run.DM->IBTransaction.InTransaction()) run.DM->IBTransaction.Rollback();
    }
  } catch (const platform::FileOpenError& failure) {
    unhandled = UnhandledFailure{"EFOpenError", failure.what()};
  } catch (const std::exception& failure) {
    unhandled = UnhandledFailure{"Error", DescribeFailure(failure)};
  }
  run.server_lines.reset();
  run.DM.reset();
  if (unhandled) {
    trace("failure shown to the user: " + unhandled->message);
    platform::ShowUnhandledFailure(unhandled->kind, unhandled->message);
    return 1;
  }
  return 0;
}

int Main(const Program& program, int argc, char** argv) {
  return Run(program, platform::ProgramParameters(argc, argv));
}

}  // namespace patlink
