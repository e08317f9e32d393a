// The least work that prints the invoice of bench/invoice/run: one process
// that runs the same joined statement with the sqlite3 C API, finds the
// columns it shows by name once, writes the header and footer from the first
// row and a line for every row as the engine's template does (four amounts
// as "#,##0.00", the line amount from the quantity and the unit price
// rounded to two decimals), and writes the report file with one call.
//
//   invoice_floor DATABASE STATEMENT REPORT

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <sqlite3.h>

namespace {

[[noreturn]] void Die(std::string_view what, sqlite3* db) {
  std::fprintf(stderr, "invoice_floor: %.*s: %s\n",
               static_cast<int>(what.size()), what.data(),
               db != nullptr ? sqlite3_errmsg(db) : "");
  std::exit(1);
}

// "#,##0.00".
void AppendAmount(std::string& out, double value) {
  char digits[64];
  const int length =
      std::snprintf(digits, sizeof digits, "%.2f", std::fabs(value) + 1e-9);
  if (value < 0 && std::string_view(digits) != "0.00") out += '-';
  const int whole = length - 3;
  for (int i = 0; i < whole; ++i) {
    if (i > 0 && (whole - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  out.append(digits + whole, 3);
}

double RoundHalfEven(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::nearbyint(value * scale) / scale;
}

class Row {
 public:
  explicit Row(sqlite3_stmt* statement) : statement_(statement) {}
  int Column(const char* name) const {
    for (int i = 0; i < sqlite3_column_count(statement_); ++i) {
      if (std::string_view(sqlite3_column_name(statement_, i)) == name) {
        return i;
      }
    }
    std::fprintf(stderr, "invoice_floor: no column %s\n", name);
    std::exit(1);
  }
  std::string_view Text(int column) const {
    const auto* text =
        reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text == nullptr
               ? std::string_view()
               : std::string_view(
                     text, static_cast<std::size_t>(
                               sqlite3_column_bytes(statement_, column)));
  }
  double Number(int column) const {
    return sqlite3_column_double(statement_, column);
  }

 private:
  sqlite3_stmt* statement_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: invoice_floor DATABASE STATEMENT REPORT\n");
    return 2;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) !=
      SQLITE_OK) {
    Die(argv[1], db);
  }
  // The sort's memory the engine's connection allows, so that both sort the
  // rows alike.
  if (sqlite3_exec(db, "PRAGMA cache_size=-16384", nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    Die(argv[1], db);
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, argv[2], -1, &statement, nullptr) != SQLITE_OK) {
    Die("the statement", db);
  }
  const Row row(statement);
  std::string out;
  std::string footer;
  int line = -1;
  int clave = 0, descripcion = 0, unidad = 0, cantidad = 0, precio = 0, iva = 0;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    if (line < 0) {
      line = row.Column("LineNumber");
      clave = row.Column("ClaveProdServ");
      descripcion = row.Column("Descripcion");
      unidad = row.Column("Unidad");
      cantidad = row.Column("Cantidad");
      precio = row.Column("ValorUnitario");
      iva = row.Column("IVALinea");
      out += "<!DOCTYPE html>\n<html><head><title>Factura ";
      out += row.Text(row.Column("Serie"));
      out += '-';
      out += row.Text(row.Column("Folio"));
      out += "</title></head><body>\n";
      for (const char* name : {"EmisorNombre",
                               "EmisorRFC",
                               "EmisorRegimen",
                               "EmisorCalle",
                               "EmisorColonia",
                               "EmisorCiudad",
                               "EmisorCP",
                               "ReceptorNombre",
                               "ReceptorRFC",
                               "ReceptorRegimen",
                               "ReceptorCalle",
                               "ReceptorCP",
                               "DocumentDate",
                               "DueDate",
                               "CreatedOn",
                               "DocumentID",
                               "ModuleID",
                               "BusinessEntityID",
                               "OwnedBusinessEntityID",
                               "UsoCFDI",
                               "FormaPago",
                               "MetodoPago",
                               "LugarExpedicion",
                               "CurrencyID",
                               "ExchangeRate",
                               "DiscountTotal",
                               "Notes"}) {
        out += row.Text(row.Column(name));
        out += ' ';
      }
      out += "\n<table class=\"lineas\"><tbody>\n";
      footer += "</tbody></table>\n<p>Partidas: ";
      footer += row.Text(row.Column("Partidas"));
      footer += "</p>\n<p class=\"num\">Subtotal ";
      AppendAmount(footer, row.Number(row.Column("SubTotal")));
      footer += " IVA ";
      AppendAmount(footer, row.Number(row.Column("TaxTotal")));
      footer += " Total ";
      AppendAmount(footer, row.Number(row.Column("Total")));
      footer += "</p>\n</body></html>\r\n";
    }
    out += "<tr><td>";
    out += row.Text(line);
    out += "</td><td>";
    out += row.Text(clave);
    out += "</td><td>";
    out += row.Text(descripcion);
    out += "</td><td>";
    out += row.Text(unidad);
    out += "</td><td class=\"num\">";
    const double quantity = row.Number(cantidad);
    AppendAmount(out, quantity);
    out += "</td><td class=\"num\">";
    const double price = row.Number(precio);
    AppendAmount(out, price);
    out += "</td><td class=\"num\">";
    AppendAmount(out, quantity * RoundHalfEven(price, 2));
    out += "</td><td class=\"num\">";
    AppendAmount(out, row.Number(iva));
    out += "</td></tr>\n";
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  out += footer;
  std::FILE* file = std::fopen(argv[3], "wb");
  if (file == nullptr ||
      std::fwrite(out.data(), 1, out.size(), file) != out.size() ||
      std::fclose(file) != 0) {
    std::perror(argv[3]);
    return 1;
  }
  return 0;
}
