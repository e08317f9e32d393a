#pragma once

#include <iosfwd>
#include <string>

namespace nerolin::cli {

// Builds the demo database `out_dir`/demo.db from data/schema.sql and
// examples/demo/demo.sql (creating `out_dir` when missing and replacing an
// earlier demo.db), then renders every document that the database's
// demoReport table lists, as a host does: the rows of the document's print
// statement, opened with the SQLite host library, handed with the template
// of the module's default print format to GenerateReportBasedOnRecordset,
// which writes `out_dir`/NAME.html. The print formats' relative FileName
// values are made absolute paths into examples/demo/templates, so the
// reports can be rendered again from the database alone.
//
// The source tree is the folder named by the environment variable
// NEROLIN_SOURCE_DIR when it is set, else the one the build was configured
// from (the NEROLIN_SOURCE_DIR compile definition), else the nearest folder
// above the executable that holds both scripts.
//
// Writes each report's path to `out`, one a line, as it is written.
// Returns 0 when every report was written. Otherwise returns 1 after one
// line on `err` that says what failed on what (reports written before the
// failure stay). The engine's own messages go to its message sink.
int BuildAndRenderDemo(const std::string& out_dir, std::ostream& out,
                       std::ostream& err);

}  // namespace nerolin::cli
