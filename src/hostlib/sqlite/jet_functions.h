#pragma once

struct sqlite3;

namespace nerolin::sqlite {

// Adds to `db` the Jet functions the host's statements use that SQLite
// lacks or spells differently. Texts count characters (code points), as
// Jet does; a Null argument gives Null unless said otherwise.
//
//   Nz(x [, default])       x, or default ('' when left out) when x is Null
//   Len(x)                  number of characters of x's text
//   UCase(x), LCase(x)      letter case changed (ASCII and Latin-1 letters)
//   Left(x, n), Right(x, n) the first / last n characters (registered as
//                           JetLeft and JetRight: RewriteJetSql renames
//                           the calls)
//   Mid(x, start [, n])     characters from `start` (from 1)
//   InStr(start, x, find)   position of `find` in x from `start`, 0 when
//                           absent (the two-argument form is SQLite's own)
//   CStr(x)                 x as text (numbers as VB writes them)
//   CLng(x), CInt(x)        x rounded half to even, checked against 32 / 16
//                           bits; texts read as numbers
//   CDbl(x)                 x as a real; texts read as numbers
//   Val(x)                  the number at the start of x's text, 0 if none
//   Year(d), Month(d), Day(d)  parts of a stored date text
//   Date()                  today, 'yyyy-mm-dd', local time
//   Now()                   'yyyy-mm-dd hh:nn:ss', local time
//
// IIf, Trim, LTrim, RTrim, Replace, Abs and InStr(x, find) are SQLite's
// own. A function that fails (overflow, a text that is no number) makes
// the statement fail with its message. Raises AutomationError when SQLite
// refuses a registration.
void RegisterJetFunctions(sqlite3* db);

}  // namespace nerolin::sqlite
