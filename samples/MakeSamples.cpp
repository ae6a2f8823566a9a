// Makes the sample tables of samples/ with the project's own table writers:
//   make_samples <folder>
#include "data/DbfWriter.h"
#include "data/FormatSettings.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {
void MakeCustomers(const std::string& dir) {
    std::vector<TDbfFieldSpec> fields = {
        {"ID", 'N', 6, 0},     {"NAME", 'C', 30, 0},    {"CITY", 'C', 20, 0},
        {"BALANCE", 'N', 12, 2}, {"SINCE", 'D', 8, 0},  {"ACTIVE", 'L', 1, 0},
        {"NOTES", 'M', 10, 0},
    };
    struct TRow {
        int Id;
        const char* Name;
        const char* City;
        double Balance;
        int Y, M, D;
        bool Active;
        const char* Notes;
    };
    const TRow rows[] = {
        {1, "Ann Berg", "Oslo", 1250.5, 2019, 3, 14, true, "Prefers e-mail"},
        {2, "Zoë Ærø", "Århus", -40.25, 2021, 11, 2, true, nullptr},
        {3, "Bob Král", "Brno", 0, 1998, 7, 30, false, "Closed account,\r\nsee letter of 1998"},
        {4, "Jörg Müller", "Köln", 99999.99, 2024, 1, 1, true, "Pays in €"},
        {5, "Chloé Dupré", "Besançon", 310, 2003, 5, 9, true, nullptr},
    };
    std::vector<std::vector<TValue>> records;
    for (const TRow& r : rows)
        records.push_back({TValue::OfInt(r.Id), TValue::OfText(r.Name), TValue::OfText(r.City),
                           TValue::OfFloat(r.Balance), TValue::OfDateTime(EncodeDate(r.Y, r.M, r.D)),
                           TValue::OfBool(r.Active),
                           r.Notes ? TValue::OfText(r.Notes) : TValue::Null()});
    // Windows-1252 holds every character above, so the table carries a code
    // page of its own rather than UTF-8.
    TDbfWriter::Write(dir + "/customers.dbf", dvDBase3, fields, records, 1252);
}
} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : ".";
    try {
        std::filesystem::create_directories(dir);
        MakeCustomers(dir);
        std::printf("sample tables written to %s\n", dir.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_samples: %s\n", e.what());
        return 1;
    }
}
