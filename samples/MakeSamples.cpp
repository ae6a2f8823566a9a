// Makes the sample tables of samples/ with the project's own table writers:
//   make_samples <folder>
// The files depend on nothing but this program, so every run writes the
// same bytes and the committed samples can be checked against a fresh run.
#include "data/drivers/dbf/DbfWriter.h"
#include "data/drivers/paradox/ParadoxWriter.h"
#include "data/drivers/text/DelimitedTableWriter.h"
#include "data/drivers/text/TextSchema.h"
#include "data/locale/DateTimeFormat.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {
void MakeCustomers(const std::string& dir) {
    std::vector<TDbfFieldSpec> fields = {
        {"ID", 'N', 6, 0},    {"NAME", 'C', 30, 0},  {"CITY", 'C', 20, 0},  {"BALANCE", 'N', 12, 2},
        {"SINCE", 'D', 8, 0}, {"ACTIVE", 'L', 1, 0}, {"NOTES", 'M', 10, 0},
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
                           TValue::OfFloat(r.Balance),
                           TValue::OfDateTime(EncodeDate(r.Y, r.M, r.D)), TValue::OfBool(r.Active),
                           r.Notes ? TValue::OfText(r.Notes) : TValue::Null()});
    // Windows-1252 holds every character above, so the table carries a code
    // page of its own rather than UTF-8.
    // The header's last-update date would otherwise be the day of the run.
    TDbfWriter w(dir + "/customers.dbf", dvDBase3, fields, 1252);
    w.SetUpdateDate(2026, 12, 8);
    for (const std::vector<TValue>& r : records)
        w.AddRecord(r);
    w.Finish();
}

const char* const People[] = {"Ann Berg",    "Zoë Ærø",     "Bob Král",  "Jörg Müller",
                              "Chloé Dupré", "Søren Kierk", "Ines Peña", "Kasia Wójcik",
                              "Mia Öberg",   "Tomás Ó Sé"};
const char* const Cities[] = {"Oslo",   "Århus", "Brno",   "Köln",  "Besançon",
                              "Tromsø", "León",  "Kraków", "Malmö", "Dún Laoghaire"};

// A keyed Paradox table with a memo: some memos fit the record's leader,
// some go to the .mb. Written in descending order so that the writer's
// key ordering shows in the file.
void MakeOrders(const std::string& dir) {
    TParadoxWriter w(dir + "/orders.db",
                     {{"OrderNo", 'I'},
                      {"Customer", 'A', 30},
                      {"City", 'A', 20},
                      {"Ordered", 'D'},
                      {"Amount", '$'},
                      {"Qty", 'S'},
                      {"Paid", 'L'},
                      {"Größe", 'A', 4},
                      {"Note", 'M', 10}},
                     1, 1252);
    const char* const sizes[] = {"S", "M", "L", "XL"};
    for (int i = 24; i >= 1; --i) {
        int person = (i * 7) % 10;
        TValue note;
        if (i % 6 == 1)
            note = TValue::OfText("Leave at the door");
        else if (i % 6 == 5)
            note = TValue::OfText("Urgent");
        else if (i % 6 == 3)
            note = TValue::OfText("Deliver to the back entrance, ring twice;\r\ninvoice to the "
                                  "head office in " +
                                  std::string(Cities[(person + 3) % 10]) + " (€).");
        w.AddRecord({TValue::OfInt(1000 + i), TValue::OfText(People[person]),
                     TValue::OfText(Cities[person]),
                     TValue::OfDateTime(EncodeDate(2024, 1 + (i - 1) / 3, 1 + (i * 5) % 28)),
                     TValue::OfFloat((i * 1937 % 50000) / 100.0), TValue::OfInt(1 + i % 9),
                     i % 5 == 0 ? TValue::Null() : TValue::OfBool(i % 3 != 0),
                     TValue::OfText(sizes[i % 4]), note});
    }
    w.Finish();
}

// A 24-bit Windows bitmap of w x h pixels, as graphic fields hold pictures:
// a head and shoulders in `figure` on `ground`, drawn from the top row down.
std::string Portrait(int w, int h, uint32_t ground, uint32_t figure) {
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
    std::string bmp(54 + stride * static_cast<size_t>(h), '\0');
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k)
            bmp[at + static_cast<size_t>(k)] = static_cast<char>((v >> (8 * k)) & 0xFF);
    };
    bmp[0] = 'B', bmp[1] = 'M';
    put(2, static_cast<uint32_t>(bmp.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(w), 4);
    put(22, static_cast<uint32_t>(h), 4); // bottom-up rows
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int dx = x - w / 2, head = y - h * 2 / 5, body = y - h;
            const bool inHead = dx * dx + head * head <= (h / 5) * (h / 5);
            const bool inBody = dx * dx + body * body <= (h * 2 / 5) * (h * 2 / 5);
            const uint32_t c = inHead || inBody ? figure : ground;
            const size_t at =
                54 + stride * static_cast<size_t>(h - 1 - y) + 3 * static_cast<size_t>(x);
            put(at, c, 3); // blue, green, red: 0xRRGGBB written low byte first
        }
    return bmp;
}

// A keyed Paradox table with what the grid draws itself: a check box per
// logical field, a picture per graphic field, and memos.
void MakeStaff(const std::string& dir) {
    TParadoxWriter w(dir + "/staff.db",
                     {{"No", 'I'},
                      {"Name", 'A', 24},
                      {"City", 'A', 16},
                      {"Joined", 'D'},
                      {"Onsite", 'L'},
                      {"Photo", 'G', 0},
                      {"Notes", 'M', 20}},
                     1, 1252);
    struct TRow {
        const char* Name;
        const char* City;
        int Y, M, D;
        bool Onsite;
        uint32_t Ground, Figure;
        const char* Notes;
    };
    const TRow rows[] = {
        {"Søren Kierk", "Tromsø", 2015, 4, 1, true, 0xCFE3F7, 0x2A5C8A, "Team lead, data imports"},
        {"Ines Peña", "León", 2018, 9, 17, false, 0xF7E1CF, 0x9A4A1C, "Works from home on Fridays"},
        {"Kasia Wójcik", "Kraków", 2020, 2, 3, true, 0xDDF2D5, 0x3C7A2E, "First aid; fire warden"},
        {"Mia Öberg", "Malmö", 2011, 11, 21, true, 0xF2D5EC, 0x7A2E69, nullptr},
        {"Tomás Ó Sé", "Dún Laoghaire", 2023, 6, 12, false, 0xEFEFD0, 0x6B6B1E,
         "On leave until May (€ claims)"},
        {"Zoë Ærø", "Århus", 2009, 1, 5, true, 0xD5EEF2, 0x1E5F6B, "Keys to the archive"},
    };
    int no = 1;
    for (const TRow& r : rows) {
        w.AddRecord({TValue::OfInt(no++), TValue::OfText(r.Name), TValue::OfText(r.City),
                     TValue::OfDateTime(EncodeDate(r.Y, r.M, r.D)), TValue::OfBool(r.Onsite),
                     TValue::OfBytes(Portrait(48, 40, r.Ground, r.Figure)),
                     r.Notes ? TValue::OfText(r.Notes) : TValue::Null()});
    }
    w.Finish();
}

// A CSV file with every kind of value the text driver guesses, and values
// that need quoting: a comma, a doubled quote, a line break.
void MakeProducts(const std::string& dir) {
    struct TRow {
        const char* Name;
        const char* Description;
    };
    const TRow rows[] = {
        {"Bolt, M6 × 30", "Zinc plated, per 100"},
        {"Pipe 3/4\" brass", "Sold by the metre"},
        {"Epoxy kit", "Two parts:\r\nresin and hardener"},
        {"Crème wax", "For oak, beech and ash"},
        {"Smørbrød knife", ""},
        {"Zwölf-Schrauben-Set", "12 screws, \"assorted\""},
        {"Tape measure 5 m", "Locks at any length"},
        {"Hinge pair", "Left, right"},
        {"Señal sign", "Reflective"},
        {"Glue stick", ""},
        {"Wire, copper 2.5 mm²", "Per metre,\r\ncut to order"},
        {"Sandpaper P120", "Sheet of 230 × 280 mm"},
        {"Łata wood strip", "Pine"},
        {"Drill bit set", "HSS, 1–10 mm"},
        {"Safety goggles", "EN 166"},
        {"Cable ties", "Black; 200 pieces"},
        {"Wood filler", "Tone: natural"},
        {"Spirit level", "60 cm"},
        {"Corner brace", ""},
        {"Façade paint", "10 l, white"},
    };
    std::vector<std::vector<TValue>> records;
    int code = 4100;
    for (const TRow& r : rows) {
        int i = code - 4100;
        records.push_back({TValue::OfInt(code), TValue::OfText(r.Name),
                           TValue::OfFloat((i * 379 % 9000 + 95) / 100.0),
                           TValue::OfDateTime(EncodeDate(2023, 1 + i % 12, 1 + (i * 11) % 28)),
                           TValue::OfBool(i % 4 != 3),
                           *r.Description ? TValue::OfText(r.Description) : TValue::Null()});
        code += 3;
    }
    TDelimitedFormat format; // UTF-8 without a byte-order mark, CR LF
    TDelimitedTableWriter::Write(dir + "/products.csv",
                                 {"Code", "Name", "Price", "Added", "InStock", "Description"},
                                 records, format);
}

// A fixed-width .txt in Windows-1252 that its .sch describes.
void MakeStock(const std::string& dir) {
    TTextSchema schema;
    schema.TableName = "stock";
    schema.Fixed = true;
    schema.CharSet = TTextSchema::csAnsi;
    schema.Fields = {{"Item", ftString, 6, 0, 0},         {"Name", ftString, 24, 0, 6},
                     {"Store", ftString, 14, 0, 30},      {"OnHand", ftInteger, 6, 0, 44},
                     {"UnitCost", ftCurrency, 10, 2, 50}, {"Counted", ftDate, 10, 0, 60},
                     {"Reorder", ftBoolean, 5, 0, 70}};
    const char* const names[] = {"Hammer",        "Screwdriver Ø3", "Pliers",       "Chisel 12 mm",
                                 "Saw, Japanese", "Mallet",         "File ½ round", "Wrench 13",
                                 "Clamp",         "Square",         "Bevel gauge",  "Rasp",
                                 "Awl",           "Plane No. 4",    "Spokeshave"};
    const char* const stores[] = {"Århus North", "Köln Süd", "Brno"};
    std::vector<std::vector<TValue>> rows;
    for (int i = 0; i < 15; ++i) {
        std::string item = "T" + std::to_string(100 + i * 7);
        rows.push_back({TValue::OfText(item), TValue::OfText(names[i]),
                        TValue::OfText(stores[i % 3]), TValue::OfInt((i * 37) % 120),
                        TValue::OfFloat((i * 613 % 4000 + 250) / 100.0),
                        TValue::OfDateTime(EncodeDate(2024, 6, 1 + i)),
                        i == 4 ? TValue::Null() : TValue::OfBool((i * 37) % 120 < 30)});
    }
    TDelimitedTableWriter::WriteWithSchema(dir + "/stock.txt", schema, rows);
}
} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : ".";
    try {
        std::filesystem::create_directories(dir);
        MakeCustomers(dir);
        MakeOrders(dir);
        MakeStaff(dir);
        MakeProducts(dir);
        MakeStock(dir);
        std::printf("sample tables written to %s\n", dir.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_samples: %s\n", e.what());
        return 1;
    }
}
