// Exports a small generated customer table to a tab-separated text file and
// says where it went.
#include "data/dataset/MemTable.h"
#include "data/locale/DateTimeFormat.h"
#include "export/KXExport2Text.h"
#include "export/view/WindowlessTableView.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace {
void FillCustomers(TMemTable& t) {
    t.FieldDefs().Add("ID", ftInteger, 0, true);
    t.FieldDefs().Add("Name", ftString, 30);
    t.FieldDefs().Add("City", ftString, 20);
    t.FieldDefs().Add("Balance", ftCurrency);
    t.FieldDefs().Add("Since", ftDate);
    t.FieldDefs().Add("Active", ftBoolean);
    t.FieldDefs().Add("Notes", ftMemo);
    t.Open();
    struct Row {
        int id;
        const char* name;
        const char* city;
        double balance;
        int y, m, d;
        bool active;
        const char* notes;
    };
    const Row rows[] = {
        {1, "Ann Berg", "Oslo", 1250.5, 2019, 3, 14, true, "Prefers e-mail"},
        {2, "Zoë Ærø", "København", -40.25, 2021, 11, 2, true, nullptr},
        {3, "Bob Král", "Praha", 0, 1998, 7, 30, false, "Closed account\r\nsee file"},
        {4, "李小龙", "香港", 99999.99, 2024, 1, 1, true, nullptr},
    };
    for (const Row& r : rows)
        t.AppendRecord({TValue::OfInt(r.id), TValue::OfText(r.name), TValue::OfText(r.city),
                        TValue::OfFloat(r.balance), TValue::OfDateTime(EncodeDate(r.y, r.m, r.d)),
                        TValue::OfBool(r.active),
                        r.notes ? TValue::OfText(r.notes) : TValue::Null()});
    t.First();
}
} // namespace

int main(int argc, char** argv) {
    std::string path = argc > 1 ? argv[1] : "customers.txt";
    try {
        TMemTable table;
        FillCustomers(table);
        TDataSource source(&table);
        TWindowlessTableView view(&source);
        TKXExport2Text writer;
        writer.SetGrid(&view);
        writer.BuildMappings();
        writer.ExportToFile(path);
        std::printf("%d records have been copied to %s\n", writer.WrittenCount(),
                    std::filesystem::absolute(path).c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "export_example: %s\n", e.what());
        return 1;
    }
}
