#pragma once
// What the benchmark programs share: the generated records, a main window over its own data
// folders, and seconds from a timer.
#include <QByteArray>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "app/frmMain.h"
#include "platform/Dialogs.h"
#include "platform/QtDialogs.h"

namespace quillon::bench {

// Record i of the generated files: 9 segments, each ended by `eol`, control ID MSG%08d.
inline std::string GeneratedRecord(int i, const char* eol = "\r")
{
    char buf[512];
    std::string r;
    r.reserve(700);
    std::snprintf(buf, sizeof buf,
                  "MSH|^~\\&|SENDER|FACILITY|RECEIVER|LAB|20261208%06d||ORU^R01|MSG%08d|P|2.4%s",
                  i % 240000, i, eol);
    r += buf;
    std::snprintf(buf, sizeof buf,
                  "PID|1||%08d^^^MAIN^MR||PATIENT^NUMBER^%d||19700101|F|||%d MAIN "
                  "ST^^SPRINGFIELD^IL^62701%s",
                  i, i, i % 997, eol);
    r += buf;
    r += "PV1|1|I|W2^201^A||||1234^WELBY^MARCUS^J^^DR|||MED";
    r += eol;
    r += "OBR|1|ORD1001|LAB2001|CBC^COMPLETE BLOOD COUNT^L|||202612080830";
    r += eol;
    for (int k = 1; k <= 4; ++k) {
        std::snprintf(buf, sizeof buf, "OBX|%d|NM|CODE%d^Observation %d^L||%d.%d|g/dL|12.0-16.0|N|||F%s",
                      k, k, k, 10 + i % 7, k, eol);
        r += buf;
    }
    r += "NTE|1||Specimen received in good condition.";
    r += eol;
    return r;
}

// Records as real HL7 traffic looks: ADT and ORU messages with names, addresses, ids, dates,
// lab results and free-text notes that vary from record to record, so that gzip shrinks them
// about as much as real files (about 6:1) rather than to next to nothing. Deterministic: the
// same seed gives the same records.
class RealisticRecords {
public:
    explicit RealisticRecords(uint64_t seed = 0x9E3779B97F4A7C15ULL) : rng_{seed | 1} {}

    // Appends record number `i` (1-based; the control ID is "Q" and i in 10 digits), each
    // segment ended by `eol`.
    void Append(std::string& out, int i, const char* eol = "\r")
    {
        static const char* const kSurnames[] = {
            "SMITH",    "JOHNSON",   "WILLIAMS",   "BROWN",     "JONES",    "GARCIA",   "MILLER",
            "DAVIS",    "RODRIGUEZ", "MARTINEZ",   "HERNANDEZ", "LOPEZ",    "GONZALEZ", "WILSON",
            "ANDERSON", "THOMAS",    "TAYLOR",     "MOORE",     "JACKSON",  "MARTIN",   "LEE",
            "PEREZ",    "THOMPSON",  "WHITE",      "HARRIS",    "SANCHEZ",  "CLARK",    "RAMIREZ",
            "LEWIS",    "ROBINSON",  "WALKER",     "YOUNG",     "ALLEN",    "KING",     "WRIGHT",
            "SCOTT",    "TORRES",    "NGUYEN",     "HILL",      "FLORES",   "GREEN",    "ADAMS",
            "NELSON",   "BAKER",     "HALL",       "RIVERA",    "CAMPBELL", "MITCHELL", "CARTER",
            "ROBERTS",  "GOMEZ",     "PHILLIPS",   "EVANS",     "TURNER",   "DIAZ",     "PARKER",
            "CRUZ",     "EDWARDS",   "COLLINS",    "REYES",     "STEWART",  "MORRIS",   "MORALES",
            "MURPHY",   "COOK",      "ROGERS",     "GUTIERREZ", "ORTIZ",    "MORGAN",   "COOPER",
            "PETERSON", "BAILEY",    "REED",       "KELLY",     "HOWARD",   "RAMOS",    "KIM",
            "COX",      "WARD",      "RICHARDSON", "WATSON",    "BROOKS",   "CHAVEZ",   "WOOD",
            "JAMES",    "BENNETT",   "GRAY",       "MENDOZA",   "RUIZ",     "HUGHES",   "PRICE",
            "ALVAREZ",  "CASTILLO",  "SANDERS",    "PATEL",     "MYERS",    "LONG",     "ROSS",
            "FOSTER",   "JIMENEZ",   "OKAFOR",     "KOWALSKI",  "MUELLER",  "SCHMIDT",  "OBRIEN",
            "MCCARTHY", "NAKAMURA",  "TANAKA",     "SILVA",     "SANTOS",   "NOVAK",    "HORVATH",
            "LARSEN",   "JENSEN",    "HANSEN",     "PETROV",    "IVANOVA",  "ROSSI",    "RUSSO",
            "FERRARI",  "BIANCHI",   "DUBOIS",     "LAURENT",   "FISCHER",  "WEBER",    "WAGNER"};
        static const char* const kGiven[] = {
            "JAMES",   "MARY",     "ROBERT",    "PATRICIA", "JOHN",     "JENNIFER", "MICHAEL",
            "LINDA",   "DAVID",    "ELIZABETH", "WILLIAM",  "BARBARA",  "RICHARD",  "SUSAN",
            "JOSEPH",  "JESSICA",  "THOMAS",    "SARAH",    "CHARLES",  "KAREN",    "CHRISTOPHER",
            "LISA",    "DANIEL",   "NANCY",     "MATTHEW",  "BETTY",    "ANTHONY",  "MARGARET",
            "MARK",    "SANDRA",   "DONALD",    "ASHLEY",   "STEVEN",   "KIMBERLY", "PAUL",
            "EMILY",   "ANDREW",   "DONNA",     "JOSHUA",   "MICHELLE", "KENNETH",  "CAROL",
            "KEVIN",   "AMANDA",   "BRIAN",     "DOROTHY",  "GEORGE",   "MELISSA",  "TIMOTHY",
            "DEBORAH", "RONALD",   "STEPHANIE", "EDWARD",   "REBECCA",  "JASON",    "SHARON",
            "JEFFREY", "LAURA",    "RYAN",      "CYNTHIA",  "JACOB",    "KATHLEEN", "GARY",
            "AMY",     "NICHOLAS", "ANGELA",    "ERIC",     "SHIRLEY",  "JONATHAN", "ANNA",
            "STEPHEN", "BRENDA",   "LARRY",     "PAMELA",   "JUSTIN",   "EMMA",     "SCOTT",
            "NICOLE",  "BRANDON",  "HELEN",     "OLIVIA",   "NOAH",     "LIAM",     "SOPHIA",
            "AVA",     "MIA",      "LUCAS",     "ISABELLA", "ETHAN"};
        static const char* const kStreets[] = {
            "MAIN",       "OAK",      "PINE",      "MAPLE",   "CEDAR",    "ELM",
            "WASHINGTON", "LAKE",     "HILL",      "WALNUT",  "PARK",     "SPRING",
            "NORTH",      "RIDGE",    "CHURCH",    "MEADOW",  "FOREST",   "RIVER",
            "SUNSET",     "HIGHLAND", "JEFFERSON", "LINCOLN", "MADISON",  "FRANKLIN",
            "CHESTNUT",   "WILLOW",   "DOGWOOD",   "BIRCH",   "SYCAMORE", "HICKORY",
            "MILL",       "SCHOOL",   "CENTER",    "UNION",   "BROADWAY", "MARKET"};
        static const char* const kStreetKinds[] = {"ST", "AVE",  "RD",  "DR", "LN",
                                                   "CT", "BLVD", "WAY", "PL"};
        static const char* const kCities[] = {
            "SPRINGFIELD^IL^627",  "CHICAGO^IL^606",   "PEORIA^IL^616",      "MADISON^WI^537",
            "DETROIT^MI^482",      "COLUMBUS^OH^432",  "DAYTON^OH^454",      "TOLEDO^OH^436",
            "INDIANAPOLIS^IN^462", "GARY^IN^464",      "ST LOUIS^MO^631",    "KANSAS CITY^MO^641",
            "DES MOINES^IA^503",   "OMAHA^NE^681",     "MINNEAPOLIS^MN^554", "MILWAUKEE^WI^532",
            "LOUISVILLE^KY^402",   "NASHVILLE^TN^372", "MEMPHIS^TN^381",     "CLEVELAND^OH^441",
            "PITTSBURGH^PA^152",   "BUFFALO^NY^142"};
        static const char* const kFacilities[] = {"MAINHOSP",  "STMARY", "NORTHCLINIC", "WESTLAB",
                                                  "CHILDRENS", "VAMC",   "UNIVMED",     "EASTSIDE"};
        static const char* const kSenders[] = {"ADTSYS", "HISCORE",  "ORDERCOMM", "LABSYS",
                                               "RADNET", "PHARMSYS", "REGADT"};
        static const char* const kDoctors[] = {
            "WELBY^MARCUS^J", "HOUSE^GREGORY", "GREY^MEREDITH",  "KILDARE^JAMES",
            "QUINN^MICHAELA", "ROSS^DOUG",     "LEWIS^SUSAN",    "CARTER^JOHN",
            "BENTON^PETER",   "WEAVER^KERRY",  "GREENE^MARK",    "CORDAY^ELIZABETH",
            "SHEPHERD^DEREK", "YANG^CRISTINA", "BAILEY^MIRANDA", "WILSON^JAMES",
            "CUDDY^LISA",     "FOREMAN^ERIC"};
        static const char* const kServices[] = {"MED", "SUR", "CAR", "PUL", "ONC",
                                                "OBS", "PED", "ORT", "NEU", "URO"};
        static const char* const kEvents[] = {"A01", "A02", "A03", "A04", "A08",
                                              "A08", "A08", "A11", "A13"};
        struct Test {
            const char* code;
            const char* name;
            const char* units;
            int low, high;  // tenths
        };
        struct Panel {
            const char* code;
            const char* name;
            Test tests[8];
            int count;
        };
        static const Panel kPanels[] = {
            {"CBC",
             "COMPLETE BLOOD COUNT",
             {{"6690-2", "WBC", "10*3/uL", 45, 110},
              {"789-8", "RBC", "10*6/uL", 42, 59},
              {"718-7", "Hemoglobin", "g/dL", 120, 175},
              {"4544-3", "Hematocrit", "%", 360, 500},
              {"787-2", "MCV", "fL", 800, 1000},
              {"777-3", "Platelets", "10*3/uL", 1500, 4000}},
             6},
            {"BMP",
             "BASIC METABOLIC PANEL",
             {{"2345-7", "Glucose", "mg/dL", 700, 990},
              {"2951-2", "Sodium", "mmol/L", 1350, 1450},
              {"2823-3", "Potassium", "mmol/L", 35, 51},
              {"2075-0", "Chloride", "mmol/L", 980, 1070},
              {"2028-9", "CO2", "mmol/L", 220, 290},
              {"3094-0", "BUN", "mg/dL", 70, 200},
              {"2160-0", "Creatinine", "mg/dL", 6, 13},
              {"17861-6", "Calcium", "mg/dL", 86, 103}},
             8},
            {"LIPID",
             "LIPID PANEL",
             {{"2093-3", "Cholesterol", "mg/dL", 1250, 2000},
              {"2571-8", "Triglycerides", "mg/dL", 400, 1500},
              {"2085-9", "HDL Cholesterol", "mg/dL", 400, 600},
              {"13457-7", "LDL Cholesterol", "mg/dL", 500, 1300}},
             4},
            {"UA",
             "URINALYSIS",
             {{"5811-5", "Specific gravity", "", 10, 30},
              {"2756-5", "pH", "", 50, 80},
              {"5792-7", "Glucose urine", "mg/dL", 0, 150}},
             3},
            {"TSH", "THYROID STIMULATING HORMONE", {{"3016-3", "TSH", "mIU/L", 4, 40}}, 1},
        };
        static const char* const kWords[] = {"patient",    "reports",    "mild",
                                             "moderate",   "severe",     "pain",
                                             "after",      "before",     "surgery",
                                             "no",         "fever",      "chills",
                                             "follow",     "up",         "in",
                                             "two",        "three",      "weeks",
                                             "days",       "ward",       "transfer",
                                             "discharge",  "review",     "labs",
                                             "normal",     "elevated",   "low",
                                             "repeat",     "tomorrow",   "morning",
                                             "evening",    "tolerating", "diet",
                                             "ambulating", "with",       "assistance",
                                             "family",     "at",         "bedside",
                                             "denies",     "shortness",  "of",
                                             "breath",     "chest",      "abdominal",
                                             "nausea",     "vomiting",   "resolved",
                                             "continue",   "current",    "medications",
                                             "start",      "stop",       "antibiotics",
                                             "iv",         "fluids",     "oral",
                                             "dose",       "increased",  "decreased",
                                             "per",        "cardiology", "recommendation",
                                             "consult",    "ordered",    "pending",
                                             "results",    "specimen",   "hemolyzed",
                                             "recollect",  "called",     "to",
                                             "nurse",      "read",       "back",
                                             "verified",   "the",        "and",
                                             "for",        "on",         "was",
                                             "is",         "not",        "been",
                                             "has",        "wound",      "clean",
                                             "dry",        "intact",     "dressing",
                                             "changed",    "vital",      "signs",
                                             "stable",     "overnight",  "blood",
                                             "pressure",   "glucose",    "monitor",
                                             "insulin",    "sliding",    "scale",
                                             "physical",   "therapy",    "evaluation",
                                             "home",       "care",       "arranged"};
        auto pick = [this](const auto& list) {
            return list[Next() % (sizeof list / sizeof list[0])];
        };

        // Patients come back: a message is about one of kPatients people, whose demographics and
        // visit stay the same from message to message, and messages about one patient come in
        // bursts (an admission, then its results).
        if (Next() % 5 < 2)
            patient_ = 1 + Next() % kPatients;
        Rng person{0x2545F4914F6CDD1DULL * patient_};
        auto pickFor = [&person](const auto& list) {
            return list[person.Next() % (sizeof list / sizeof list[0])];
        };
        char buf[512];
        // A feed is in time order: each message a few seconds after the one before.
        clock_ += static_cast<int64_t>(Next() % 20);
        const int64_t minutes = clock_ / 60, hours = minutes / 60, days = hours / 24;
        char when[32];
        std::snprintf(when, sizeof when, "2026%02d%02d%02d%02d%02d",
                      static_cast<int>(1 + days / 28 % 12), static_cast<int>(1 + days % 28),
                      static_cast<int>(hours % 24), static_cast<int>(minutes % 60),
                      static_cast<int>(clock_ % 60));
        const char* facility = pickFor(kFacilities);
        const bool lab = Next() % 3 != 0;
        std::snprintf(buf, sizeof buf, "MSH|^~\\&|%s|%s|%s|%s|%s||%s|Q%010d|P|2.5.1%s",
                      lab ? "LABSYS" : pick(kSenders), facility, lab ? "EMR" : "HIS", facility,
                      when, lab ? "ORU^R01^ORU_R01" : (std::string("ADT^") + pick(kEvents)).c_str(),
                      i, eol);
        out += buf;
        if (!lab) {
            std::snprintf(buf, sizeof buf, "EVN||%s|||%llu^%s%s", when,
                          static_cast<unsigned long long>(Next() % 90000 + 10000), pick(kSurnames),
                          eol);
            out += buf;
        }
        const char* city = pickFor(kCities);
        const char sex = "MF"[person.Next() % 2];
        std::snprintf(
            buf, sizeof buf,
            "PID|1||%08llu^^^%s^MR||%s^%s^%c||%04llu%02llu%02llu|%c||%s|%llu %s "
            "%s^^%s%02llu||(%03llu)%03llu-%04llu|||%c||%09llu%s",
            static_cast<unsigned long long>(person.Next() % 100000000), facility,
            pickFor(kSurnames), pickFor(kGiven), static_cast<char>('A' + person.Next() % 26),
            static_cast<unsigned long long>(1930 + person.Next() % 95),
            static_cast<unsigned long long>(1 + person.Next() % 12),
            static_cast<unsigned long long>(1 + person.Next() % 28), sex,
            person.Next() % 5 ? "2106-3" : "2054-5",
            static_cast<unsigned long long>(1 + person.Next() % 9999), pickFor(kStreets),
            pickFor(kStreetKinds), city, static_cast<unsigned long long>(person.Next() % 100),
            static_cast<unsigned long long>(200 + person.Next() % 800),
            static_cast<unsigned long long>(200 + person.Next() % 800),
            static_cast<unsigned long long>(person.Next() % 10000), "SMDW"[person.Next() % 4],
            static_cast<unsigned long long>(person.Next() % 1000000000), eol);
        out += buf;
        char doctor[64];
        const unsigned long long doctorNumber =
            person.Next() % (sizeof kDoctors / sizeof kDoctors[0]);
        std::snprintf(doctor, sizeof doctor, "%llu^%s^^^DR", 1000 + doctorNumber * 37,
                      kDoctors[doctorNumber]);
        std::snprintf(
            buf, sizeof buf,
            "PV1|1|%c|%s^%llu^%c^%s||||%s|||%s||||||||V%08llu|||||||||||||||||||||||||%s%s",
            "IOE"[person.Next() % 3], pickFor(kServices),
            static_cast<unsigned long long>(100 + person.Next() % 400),
            static_cast<char>('A' + person.Next() % 4), facility, doctor, pickFor(kServices),
            static_cast<unsigned long long>(person.Next() % 100000000), when, eol);
        out += buf;
        if (lab) {
            const Panel& panel = kPanels[Next() % (sizeof kPanels / sizeof kPanels[0])];
            order_ += 1 + Next() % 3;
            std::snprintf(buf, sizeof buf, "ORC|RE|%llu|L%llu||CM%s",
                          static_cast<unsigned long long>(order_),
                          static_cast<unsigned long long>(order_ + 3000000), eol);
            out += buf;
            std::snprintf(buf, sizeof buf,
                          "OBR|1|%llu|L%llu|%s^%s^L|||%s|||||||%s||%s||||||%s|LAB|F%s",
                          static_cast<unsigned long long>(order_),
                          static_cast<unsigned long long>(order_ + 3000000), panel.code, panel.name,
                          when, when, doctor, when, eol);
            out += buf;
            for (int k = 0; k < panel.count; ++k) {
                const Test& t = panel.tests[k];
                const int span = t.high - t.low;
                const int value =
                    t.low - span / 4
                    + static_cast<int>(Next() % static_cast<uint64_t>(span + span / 2 + 1));
                const char* flag = value < t.low ? "L" : value > t.high ? "H" : "N";
                std::snprintf(buf, sizeof buf,
                              "OBX|%d|NM|%s^%s^LN||%d.%d|%s|%d.%d-%d.%d|%s|||F|||%s%s", k + 1,
                              t.code, t.name, value / 10, value % 10, t.units, t.low / 10,
                              t.low % 10, t.high / 10, t.high % 10, flag, when, eol);
                out += buf;
            }
        } else {
            std::snprintf(buf, sizeof buf, "NK1|1|%s^%s|%s|%llu %s %s^^%s%02llu%s",
                          pickFor(kSurnames), pickFor(kGiven), person.Next() % 2 ? "SPO" : "CHD",
                          static_cast<unsigned long long>(1 + person.Next() % 9999),
                          pickFor(kStreets), pickFor(kStreetKinds), city,
                          static_cast<unsigned long long>(person.Next() % 100), eol);
            out += buf;
            std::snprintf(buf, sizeof buf, "IN1|1|%llu|%llu|%s|||||GRP%06llu%s",
                          static_cast<unsigned long long>(person.Next() % 1000),
                          static_cast<unsigned long long>(person.Next() % 100000),
                          person.Next() % 2 ? "BLUE CROSS" : "MEDICARE",
                          static_cast<unsigned long long>(person.Next() % 1000000), eol);
            out += buf;
        }
        if (Next() % 2 == 0) {
            out += "NTE|1||";
            const int words = 6 + static_cast<int>(Next() % 24);
            for (int w = 0; w < words; ++w) {
                if (w > 0)
                    out += ' ';
                out += pick(kWords);
            }
            out += '.';
            out += eol;
        }
    }

private:
    static constexpr uint64_t kPatients = 20000;
    struct Rng {
        uint64_t state;
        uint64_t Next()
        {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            return state;
        }
    };
    uint64_t Next() { return rng_.Next(); }
    Rng rng_;
    int64_t clock_ = 0;
    uint64_t patient_ = 1;
    uint64_t order_ = 4000000;
};

// How many times gzip's default level shrinks `data` (zlib at level 6, as gzip uses).
inline double GzipRatio(const std::string& data)
{
    const QByteArray packed = qCompress(reinterpret_cast<const uchar*>(data.data()),
                                        static_cast<qsizetype>(data.size()), 6);
    return packed.isEmpty() ? 0.0
                            : static_cast<double>(data.size()) / static_cast<double>(packed.size());
}

// A store of `count` generated records; `bytes` gets their total size.
inline RecordStore GeneratedStore(int count, size_t& bytes)
{
    RecordStore store;
    bytes = 0;
    for (int i = 1; i <= count; ++i) {
        std::string record = GeneratedRecord(i);
        bytes += record.size();
        store.Append(std::move(record));
    }
    return store;
}

// The reference pass: one memmem call per record for `needle` (by default a text that is in no
// record); answers the number of records that hold it.
inline volatile int32_t memmemSink = 0;

inline int32_t MemmemPass(const RecordStore& store, std::string_view needle = "NOT-IN-ANY-RECORD")
{
    int32_t found = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string_view r = store.Record(i);
        found += memmem(r.data(), r.size(), needle.data(), needle.size()) != nullptr ? 1 : 0;
    }
    memmemSink = found;
    return found;
}

// A main window over its own state and data folders; message boxes it showed are printed.
struct BenchWindow {
    BenchWindow()
    {
        InitDataFolders(state.folders, dir.path(), QStringLiteral("quillon"));
        window = std::make_unique<frmMain>(state, responder, desktop);
    }
    // Appends generated records 1..count to the window's store; their bytes.
    size_t Fill(int count)
    {
        size_t bytes = 0;
        for (int i = 1; i <= count; ++i) {
            state.records.Append(GeneratedRecord(i));
            bytes += state.records.Record(i).size();
        }
        return bytes;
    }
    ~BenchWindow()
    {
        for (const auto& shown : responder.shown())
            std::fprintf(stderr, "message box: %s: %s\n", qPrintable(shown.title),
                         qPrintable(shown.text));
    }
    QTemporaryDir dir;
    AppState state;
    platform::ScriptedResponder responder;
    platform::SystemDesktop desktop;
    std::unique_ptr<frmMain> window;
};

inline double Seconds(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e9; }

// The best of `runs` runs of `fn`, in seconds.
template <typename Fn>
double Best(Fn&& fn, int runs)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        best = std::min(best, Seconds(t));
    }
    return best;
}

// A figure of this process's memory from /proc/self/status in kB ("VmRSS:" resident now,
// "VmHWM:" the high-water mark), or -1.
inline long ProcessKb(const char* field)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    const size_t n = std::strlen(field);
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0)
            kb = std::atol(line + n + 1);
    if (f)
        std::fclose(f);
    return kb;
}

// Lowers the high-water mark of resident memory to what is resident now.
inline void ResetPeakMemory()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

}  // namespace quillon::bench
