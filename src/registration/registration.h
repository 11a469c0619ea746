// Finding the caller's patient by identifier, or registering it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "store/DMUnit.h"

namespace patlink {

// The caller's four particulars, in the connection's character set.
struct PatientParticulars {
  std::string ParamLastName;
  std::string ParamFirstName;
  std::string ParamBirthDate;
  std::string ParamPatientId;
};

// Input the program refuses to register from.
class RegistrationRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// DDMMYYYY in the first eight characters, all decimal digits, forming a date
// of the Gregorian calendar in the years 1 to 9999; later characters are
// ignored. Throws RegistrationRefused otherwise.
Date ParseBirthDate(std::string_view text);

struct PatientLookup {
  std::int32_t PatientKey = 0;
  bool registered = false;  // false: found
  bool confirmed = false;   // the key was found again in the dataset
};

// Needs the store connected with its dataset open. Finds the patient by
// identifier or registers it and commits; then confirms the key. Throws on
// refused input and on any store failure (the caller rolls back).
PatientLookup FindOrRegisterPatient(TDM& DM, const PatientParticulars& patient);

}  // namespace patlink
