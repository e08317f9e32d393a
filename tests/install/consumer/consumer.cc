// Renders TEMPLATE over the rows SQL gives from the SQLite file DB into
// REPORT and prints the report's text, as a host linking the installed
// library would.
#include <iostream>
#include <string>

#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "nerolin/version.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: consumer DB SQL TEMPLATE REPORT\n";
    return 2;
  }
  try {
    auto engine = nerolin::clsMain::Create();
    std::string sql = argv[2];
    std::string model = argv[3];
    std::string report = argv[4];
    std::cout << NEROLIN_VERSION << '\n'
              << engine->GenerateReport(std::string("Data Source=") + argv[1],
                                        sql, model, report);
  } catch (const nerolin::AutomationError& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
