#include "registration/registration.h"

namespace patlink {

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int Digits(std::string_view text) {
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

}  // namespace

Date ParseBirthDate(std::string_view text) {
  // The message never repeats the text: it is a date of birth.
  const RegistrationRefused refused("date of birth is not a valid DDMMYYYY date");
  if (text.size() < 8) throw refused;
  for (char c : text.substr(0, 8))
    if (c < '0' || c > '9') throw refused;
  const Date date{Digits(text.substr(4, 4)), Digits(text.substr(2, 2)), Digits(text.substr(0, 2))};
  if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > DaysInMonth(date.year, date.month))
    throw refused;
  return date;
}

PatientLookup FindOrRegisterPatient(TDM& DM, const PatientParticulars& patient) {
  TIBDataSet& patients = DM.PatientsIBDataSet;
  // An empty identifier would match whichever record was once stored without
  // one, and open the wrong patient.
  if (patient.ParamPatientId.empty()) throw RegistrationRefused("patient identifier is empty");
  // A longer identifier would be stored cut and never found again.
  const int width = patients.FieldWidth("PATIENT_ID");
  if (patient.ParamPatientId.size() > static_cast<std::size_t>(width))
    throw RegistrationRefused("patient identifier is longer than the PATIENT_ID column (" +
                              std::to_string(width) + " characters)");

  PatientLookup lookup;
  if (patients.Locate("PATIENT_ID", Value::Text(patient.ParamPatientId))) {
    lookup.PatientKey = patients.FieldAsInteger("ID");
  } else {
    // Checked before the append so that a refused date draws no number.
    const Date birth = ParseBirthDate(patient.ParamBirthDate);
    patients.Append();
    patients.SetFieldAsText("LAST_NAME", patient.ParamLastName);
    patients.SetFieldAsText("FIRST_NAME", patient.ParamFirstName);
    patients.SetFieldAsDate("DATE_OF_BIRTH", birth);
    patients.SetFieldAsText("PATIENT_ID", patient.ParamPatientId);
    patients.Post();
    lookup.PatientKey = patients.FieldAsInteger("ID");
    lookup.registered = true;
    DM.IBTransaction.Commit();
    patients.Open();
  }
  lookup.confirmed = patients.Locate("ID", Value::Integer(lookup.PatientKey));
  return lookup;
}

}  // namespace patlink
