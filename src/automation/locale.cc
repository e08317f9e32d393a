#include "automation/locale.h"

namespace nerolin {

namespace {

Locale MakeSpanishMexico() {
  Locale locale;
  locale.name = "es-MX";
  locale.decimal_separator = ".";
  locale.group_separator = ",";
  locale.date_separator = "/";
  locale.time_separator = ":";
  locale.currency_symbol = "$";
  locale.currency_digits = 2;
  locale.short_date = "dd/mm/yyyy";
  locale.long_date = "dddd, d \"de\" mmmm \"de\" yyyy";
  locale.long_time = "hh:nn:ss";
  locale.short_time = "hh:nn";
  locale.am = "a. m.";
  locale.pm = "p. m.";
  locale.month_names = {"enero",      "febrero", "marzo",     "abril",
                        "mayo",       "junio",   "julio",     "agosto",
                        "septiembre", "octubre", "noviembre", "diciembre"};
  locale.month_abbreviations = {"ene", "feb", "mar",  "abr", "may", "jun",
                                "jul", "ago", "sept", "oct", "nov", "dic"};
  locale.day_names = {"domingo", "lunes",   "martes", "miércoles",
                      "jueves",  "viernes", "sábado"};
  locale.day_abbreviations = {"dom", "lun", "mar", "mié", "jue", "vie", "sáb"};
  return locale;
}

Locale MakeEnglishUnitedStates() {
  Locale locale;
  locale.name = "en-US";
  locale.decimal_separator = ".";
  locale.group_separator = ",";
  locale.date_separator = "/";
  locale.time_separator = ":";
  locale.currency_symbol = "$";
  locale.currency_digits = 2;
  locale.short_date = "m/d/yyyy";
  locale.long_date = "dddd, mmmm d, yyyy";
  locale.long_time = "h:nn:ss AM/PM";
  locale.short_time = "h:nn AM/PM";
  locale.am = "AM";
  locale.pm = "PM";
  locale.month_names = {"January",   "February", "March",    "April",
                        "May",       "June",     "July",     "August",
                        "September", "October",  "November", "December"};
  locale.month_abbreviations = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  locale.day_names = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                      "Thursday", "Friday", "Saturday"};
  locale.day_abbreviations = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  return locale;
}

// The current locale is a copy, so that SetCurrent may be handed a
// temporary.
Locale& CurrentSlot() {
  static Locale current = Locale::SpanishMexico();
  return current;
}

}  // namespace

const Locale& Locale::SpanishMexico() {
  static const Locale locale = MakeSpanishMexico();
  return locale;
}

const Locale& Locale::EnglishUnitedStates() {
  static const Locale locale = MakeEnglishUnitedStates();
  return locale;
}

const Locale& Locale::Current() { return CurrentSlot(); }

void Locale::SetCurrent(const Locale& locale) {
  if (&locale == &CurrentSlot()) return;
  CurrentSlot() = locale;
}

}  // namespace nerolin
