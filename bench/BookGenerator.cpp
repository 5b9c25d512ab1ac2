#include "bench/BookGenerator.h"

#include "storage/ContactStatements.h"
#include "storage/SQLiteTable3.h"
#include "storage/unitBuildData.h"
#include "storage/unitFilePath.h"

#include <array>
#include <random>

const char* const kBookGeneratorVersion = "book-v1";

namespace {

const char* const kFirstNames[] = {
    "James",   "Mary",      "Robert",    "Patricia", "John",      "Jennifer", "Michael",
    "Linda",   "David",     "Elizabeth", "William",  "Barbara",   "Richard",  "Susan",
    "Joseph",  "Jessica",   "Thomas",    "Sarah",    "Charles",   "Karen",    "Christopher",
    "Lisa",    "Daniel",    "Nancy",     "Matthew",  "Betty",     "Anthony",  "Margaret",
    "Mark",    "Sandra",    "Donald",    "Ashley",   "Steven",    "Kimberly", "Paul",
    "Emily",   "Andrew",    "Donna",     "Joshua",   "Michelle",  "Kenneth",  "Carol",
    "Kevin",   "Amanda",    "Brian",     "Dorothy",  "George",    "Melissa",  "Timothy",
    "Deborah", "Ronald",    "Stephanie", "Edward",   "Rebecca",   "Jason",    "Sharon",
    "Jeffrey", "Laura",     "Ryan",      "Cynthia",  "Jacob",     "Kathleen", "Gary",
    "Amy",     "Nicholas",  "Angela",    "Eric",     "Shirley",   "Jonathan", "Anna",
    "Stephen", "Brenda",    "Larry",     "Pamela",   "Justin",    "Emma",     "Scott",
    "Nicole",  "Brandon",   "Helen",     "Benjamin", "Samantha",  "Samuel",   "Katherine",
    "Gregory", "Christine", "Alexander", "Debra",    "Frank",     "Rachel",   "Patrick",
    "Carolyn", "Raymond",   "Janet",     "Jack",     "Catherine", "Dennis",   "Maria",
    "Jerry",   "Heather",   "Tyler",     "Diane",    "Aaron",     "Ruth",     "Jose",
    "Julie",   "Adam",      "Olivia"};

const char* const kLastNames[] = {
    "Smith",       "Johnson",    "Williams",   "Brown",      "Jones",      "Garcia",
    "Miller",      "Davis",      "Rodriguez",  "Martinez",   "Hernandez",  "Lopez",
    "Gonzalez",    "Wilson",     "Anderson",   "Thomas",     "Taylor",     "Moore",
    "Jackson",     "Martin",     "Lee",        "Perez",      "Thompson",   "White",
    "Harris",      "Sanchez",    "Clark",      "Ramirez",    "Lewis",      "Robinson",
    "Walker",      "Young",      "Allen",      "King",       "Wright",     "Scott",
    "Torres",      "Nguyen",     "Hill",       "Flores",     "Green",      "Adams",
    "Nelson",      "Baker",      "Hall",       "Rivera",     "Campbell",   "Mitchell",
    "Carter",      "Roberts",    "Gomez",      "Phillips",   "Evans",      "Turner",
    "Diaz",        "Parker",     "Cruz",       "Edwards",    "Collins",    "Reyes",
    "Stewart",     "Morris",     "Morales",    "Murphy",     "Cook",       "Rogers",
    "Gutierrez",   "Ortiz",      "Morgan",     "Cooper",     "Peterson",   "Bailey",
    "Reed",        "Kelly",      "Howard",     "Ramos",      "Kim",        "Cox",
    "Ward",        "Richardson", "Watson",     "Brooks",     "Chavez",     "Wood",
    "James",       "Bennett",    "Gray",       "Mendoza",    "Ruiz",       "Hughes",
    "Price",       "Alvarez",    "Castillo",   "Sanders",    "Patel",      "Myers",
    "Long",        "Ross",       "Foster",     "Jimenez",    "Powell",     "Jenkins",
    "Perry",       "Russell",    "Sullivan",   "Bell",       "Coleman",    "Butler",
    "Henderson",   "Barnes",     "Gonzales",   "Fisher",     "Vasquez",    "Simmons",
    "Romero",      "Jordan",     "Patterson",  "Alexander",  "Hamilton",   "Graham",
    "Reynolds",    "Griffin",    "Wallace",    "Moreno",     "West",       "Cole",
    "Hayes",       "Bryant",     "Herrera",    "Gibson",     "Ellis",      "Tran",
    "Medina",      "Aguilar",    "Stevens",    "Murray",     "Ford",       "Castro",
    "Marshall",    "Owens",      "Harrison",   "Fernandez",  "McDonald",   "Woods",
    "Washington",  "Kennedy",    "Wells",      "Vargas",     "Henry",      "Chen",
    "Freeman",     "Webb",       "Tucker",     "Guzman",     "Burns",      "Crawford",
    "Olson",       "Simpson",    "Porter",     "Hunter",     "Gordon",     "Mendez",
    "Silva",       "Shaw",       "Snyder",     "Mason",      "Dixon",      "Munoz",
    "Hunt",        "Hicks",      "Holmes",     "Palmer",     "Wagner",     "Black",
    "Robertson",   "Boyd",       "Rose",       "Stone",      "Salazar",    "Fox",
    "Warren",      "Mills",      "Meyer",      "Rice",       "Schmidt",    "Garza",
    "Daniels",     "Ferguson",   "Nichols",    "Stephens",   "Soto",       "Weaver",
    "Ryan",        "Gardner",    "Payne",      "Grant",      "Dunn",       "Kelley",
    "Spencer",     "Hawkins",    "Arnold",     "Pierce",     "Vazquez",    "Hansen",
    "Peters",      "Santos",     "Hart",       "Bradley",    "Knight",     "Elliott",
    "Cunningham",  "Duncan",     "Armstrong",  "Hudson",     "Carroll",    "Lane",
    "Riley",       "Andrews",    "Alvarado",   "Ray",        "Delgado",    "Berry",
    "Perkins",     "Hoffman",    "Johnston",   "Matthews",   "Pena",       "Richards",
    "Contreras",   "Willis",     "Carpenter",  "Lawrence",   "Sandoval",   "Guerrero",
    "George",      "Chapman",    "Rios",       "Estrada",    "Ortega",     "Watkins",
    "Greene",      "Nunez",      "Wheeler",    "Valdez",     "Harper",     "Burke",
    "Larson",      "Santiago",   "Maldonado",  "Morrison",   "Franklin",   "Carlson",
    "Austin",      "Dominguez",  "Carr",       "Lawson",     "Jacobs",     "OBrien",
    "Lynch",       "Singh",      "Vega",       "Bishop",     "Montgomery", "Oliver",
    "Jensen",      "Harvey",     "Williamson", "Gilbert",    "Dean",       "Sims",
    "Espinoza",    "Howell",     "Li",         "Wong",       "Reid",       "Hanson",
    "Le",          "McCoy",      "Garrett",    "Burton",     "Fuller",     "Wang",
    "Weber",       "Welch",      "Rojas",      "Lucas",      "Marquez",    "Fields",
    "Park",        "Yang",       "Little",     "Banks",      "Padilla",    "Day",
    "Walsh",       "Bowman",     "Schultz",    "Luna",       "Fowler",     "Mejia",
    "Davidson",    "Acosta",     "Brewer",     "May",        "Holland",    "Juarez",
    "Newman",      "Pearson",    "Curtis",     "Cortez",     "Douglas",    "Schneider",
    "Joseph",      "Barrett",    "Navarro",    "Figueroa",   "Keller",     "Avila",
    "Wade",        "Molina",     "Stanley",    "Hopkins",    "Campos",     "Barnett",
    "Bates",       "Chambers",   "Caldwell",   "Beck",       "Lambert",    "Miranda",
    "Byrd",        "Craig",      "Ayala",      "Lowe",       "Frazier",    "Powers",
    "Neal",        "Leonard",    "Gregory",    "Carrillo",   "Sutton",     "Fleming",
    "Rhodes",      "Shelton",    "Schwartz",   "Norris",     "Jennings",   "Watts",
    "Duran",       "Walters",    "Cohen",      "McDaniel",   "Moran",      "Parks",
    "Steele",      "Vaughn",     "Becker",     "Holt",       "Deleon",     "Barker",
    "Terry",       "Hale",       "Leon",       "Hail",       "Benson",     "Haynes",
    "Horton",      "Miles",      "Lyons",      "Pham",       "Graves",     "Bush",
    "Thornton",    "Wolfe",      "Warner",     "Cabrera",    "McKinney",   "Mann",
    "Zimmerman",   "Dawson",     "Lara",       "Fletcher",   "Page",       "McCarthy",
    "Love",        "Robles",     "Cervantes",  "Solis",      "Erickson",   "Reeves",
    "Chang",       "Klein",      "Salinas",    "Fuentes",    "Baldwin",    "Daniel",
    "Simon",       "Velasquez",  "Hardy",      "Higgins",    "Aguirre",    "Lin",
    "Cummings",    "Chandler",   "Sharp",      "Barber",     "Bowen",      "Ochoa",
    "Dennis",      "Robbins",    "Liu",        "Ramsey",     "Francis",    "Griffith",
    "Paul",        "Blair",      "OConnor",    "Cardenas",   "Pacheco",    "Cross",
    "Calderon",    "Quinn",      "Moss",       "Swanson",    "Chan",       "Rivas",
    "Khan",        "Rodgers",    "Serrano",    "Fitzgerald", "Rosales",    "Stevenson",
    "Christensen", "Manning",    "Gill",       "Curry",      "McLaughlin", "Harmon",
    "McGee",       "Gross",      "Doyle",      "Garner",     "Newton",     "Burgess",
    "Reese",       "Walton",     "Blake",      "Trujillo",   "Adkins",     "Brady",
    "Goodman",     "Roman",      "Webster",    "Goodwin",    "Fischer",    "Huang",
    "Potter",      "Delacruz",   "Montoya",    "Todd",       "Wu",         "Hines",
    "Mullins",     "Castaneda",  "Malone",     "Cannon",     "Tate",       "Mack",
    "Sherman",     "Hubbard",    "Hodges",     "Zhang",      "Guerra",     "Wolf",
    "Valencia",    "Saunders",   "Franco",     "Rowe",       "Gallagher",  "Farmer",
    "Hammond",     "Hampton",    "Townsend",   "Ingram",     "Wise",       "Gallegos",
    "Clarke",      "Barton",     "Schroeder",  "Maxwell",    "Waters",     "Logan",
    "Camacho",     "Strickland", "Norman",     "Person",     "Colon",      "Parsons",
    "Frank",       "Harrington", "Glover",     "Osborne",    "Buchanan",   "Casey",
    "Floyd",       "Patton",     "Ibarra",     "Ball",       "Tyler",      "Suarez",
    "Bowers",      "Orozco",     "Salas",      "Cobb",       "Gibbs",      "Andrade",
    "Bauer",       "Conner",     "Moody",      "Escobar",    "McGuire",    "Lloyd",
    "Mueller",     "Hartman",    "French",     "Kramer",     "McBride",    "Pope",
    "Lindsey",     "Velazquez",  "Norton",     "McCormick",  "Sparks",     "Flynn",
    "Yates",       "Hogan",      "Marsh",      "Macias",     "Villanueva", "Zamora",
    "Pratt",       "Stokes",     "Owen",       "Ballard",    "Lang",       "Brock",
    "Villarreal",  "Charles",    "Drake",      "Barrera",    "Cain",       "Patrick",
    "Pineda",      "Burnett",    "Mercado",    "Santana",    "Shepherd",   "Bautista",
    "Ali",         "Shaffer",    "Lamb",       "Trevino",    "McKenzie",   "Hess",
    "Beil",        "Olsen",      "Cochran",    "Morton",     "Nash",       "Wilkins",
    "Petersen",    "Briggs",     "Shah",       "Roth",       "Nicholson",  "Holloway",
    "Lozano",      "Rangel",     "Flowers",    "Hoover",     "Short",      "Arias",
    "Mora",        "Valenzuela", "Bryan",      "Meyers",     "Weiss",      "Underwood",
    "Bass",        "Greer",      "Summers",    "Houston",    "Carson",     "Morrow",
    "Clayton",     "Whitaker",   "Decker",     "Yoder",      "Collier",    "Zuniga",
    "Carey",       "Wilcox",     "Melendez",   "Poole",      "Roberson",   "Larsen",
    "Conley",      "Davenport",  "Copeland",   "Massey",     "Lam",        "Huff",
    "Rocha",       "Cameron",    "Jefferson",  "Hood",       "Monroe",     "Anthony",
    "Pittman",     "Huynh",      "Randall",    "Singleton",  "Kirk",       "Combs",
    "Mathis",      "Christian",  "Skinner",    "Bradford",   "Richard",    "Galvan",
    "Wall",        "Boone",      "Kirby",      "Wilkinson",  "Bridges",    "Bruce",
    "Atkinson",    "Velez",      "Meza",       "Roy",        "Vincent",    "York",
    "Hodge",       "Villa",      "Abbott",     "Allison",    "Tapia"};

const char* const kCompanyWords[] = {
    "Acme",     "Blue",    "River",    "Summit",   "Pioneer",  "Golden",    "Harbor",   "Maple",
    "Oak",      "Cedar",   "Northern", "Southern", "Eastside", "Westfield", "Valley",   "Prairie",
    "Coastal",  "Metro",   "Atlas",    "Beacon",   "Crescent", "Evergreen", "Frontier", "Granite",
    "Horizon",  "Liberty", "Keystone", "Lakeside", "Meridian", "Orchard",   "Redwood",  "Silver",
    "Sterling", "Union",   "Vista",    "Willow",   "Bright",   "Central",   "Premier",  "Capital"};
const char* const kCompanyKinds[] = {
    "Plumbing",   "Bakery",      "Hardware",   "Auto Repair", "Dental",        "Florist",
    "Print Shop", "Catering",    "Roofing",    "Insurance",   "Realty",        "Pharmacy",
    "Electric",   "Landscaping", "Law Office", "Cafe",        "Bar and Grill", "Supply",
    "Consulting", "Tailors",     "Books",      "Cleaners",    "Fitness",       "Veterinary",
    "Accounting", "Builders",    "Motors",     "Glass"};
const char* const kCompanyForms[] = {"", " Inc", " LLC", " Co", " Ltd", " and Sons"};
const char* const kStreets[] = {
    "Main",   "Oak",   "Pine",   "Maple",  "Cedar",    "Elm",     "Washington", "Lake",
    "Hill",   "Park",  "Walnut", "Sunset", "Highland", "Church",  "Mill",       "River",
    "Spring", "Ridge", "Meadow", "Forest", "Jackson",  "Lincoln", "Franklin",   "Madison"};
const char* const kStreetKinds[] = {"Street", "Avenue", "Road", "Blvd", "Lane",
                                    "Drive",  "Court",  "Way",  "Place"};
const char* const kCities[] = {
    "Springfield",  "Riverside",  "Fairview",   "Franklin",    "Greenville", "Bristol",
    "Clinton",      "Madison",    "Georgetown", "Salem",       "Arlington",  "Ashland",
    "Burlington",   "Manchester", "Oxford",     "Baton Rouge", "Lafayette",  "Shreveport",
    "Lake Charles", "Monroe",     "Alexandria", "New Iberia",  "Houma",      "Slidell"};
const char* const kStates[] = {"LA", "TX", "MS", "AL", "FL", "GA", "TN", "AR", "OK", "MO"};
const char* const kTitles[] = {"Owner",    "Manager",   "Sales",      "Accounts",   "Assistant",
                               "Buyer",    "Foreman",   "Director",   "Office Mgr", "Partner",
                               "Shipping", "Reception", "Technician", "President"};
const char* const kDomains[] = {"example.com", "example.net", "example.org", "mail.example",
                                "shop.example.com"};
const char* const kWords[] = {
    "call",     "before",  "noon",   "prefers",  "email",   "invoice",  "monthly",  "order",
    "delivery", "Tuesday", "Friday", "discount", "account", "net",      "thirty",   "days",
    "ask",      "for",     "the",    "manager",  "new",     "location", "opening",  "spring",
    "samples",  "sent",    "price",  "list",     "renewal", "due",      "contract", "signed",
    "follow",   "up",      "after",  "trade",    "show",    "referred", "by",       "customer",
    "since",    "pays",    "on",     "time",     "closed",  "Mondays",  "parking",  "in",
    "back",     "loading", "dock",   "side",     "door",    "quote",    "pending",  "needs",
    "catalog",  "and",     "a",      "with"};

template <std::size_t N> const char* Pick(std::mt19937& rng, const char* const (&list)[N]) {
    return list[rng() % N];
}

bool Chance(std::mt19937& rng, int percent) {
    return static_cast<int>(rng() % 100) < percent;
}

std::string Digits(std::mt19937& rng, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += static_cast<char>('0' + rng() % 10);
    return out;
}

// The stored form of a masked phone field: literals in place, a blank in every unfilled digit.
std::string Phone(std::mt19937& rng, int filledPercent) {
    if (!Chance(rng, filledPercent))
        return "(   )   -    ";
    return "(" + Digits(rng, 3) + ")" + Digits(rng, 3) + "-" + Digits(rng, 4);
}

std::string Extension(std::mt19937& rng) {
    if (!Chance(rng, 40))
        return "     ";
    std::string digits = Digits(rng, 2 + static_cast<int>(rng() % 4));
    return digits + std::string(5 - digits.size(), ' ');
}

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Clipped(std::string text, std::size_t limit) {
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

// Free text of a few short lines, CR LF between them, as the note fields store it.
std::string Notes(std::mt19937& rng, int maxLines, std::size_t limit) {
    const int lines = static_cast<int>(rng() % (maxLines + 1));
    std::string out;
    for (int l = 0; l < lines; ++l) {
        if (l > 0)
            out += "\r\n";
        const int words = 3 + static_cast<int>(rng() % 9);
        for (int w = 0; w < words; ++w) {
            if (w > 0)
                out += ' ';
            out += Pick(rng, kWords);
        }
        out += '.';
    }
    return Clipped(out, limit);
}

ContactValues MakeContact(std::mt19937& rng) {
    // Save order: first, last, company, address, city-state-zip, e-mail, web site, phone, fax,
    // notes; then seven columns per extra contact.
    ContactValues v;
    const bool person = Chance(rng, 85);
    const bool company = !person || Chance(rng, 60);
    if (person) {
        v[0] = Pick(rng, kFirstNames);
        v[1] = Pick(rng, kLastNames);
    }
    if (company)
        v[2] = Clipped(std::string(Pick(rng, kCompanyWords)) + " " + Pick(rng, kCompanyKinds) +
                           Pick(rng, kCompanyForms),
                       25);
    v[3] = Clipped(std::to_string(1 + rng() % 9899) + " " + Pick(rng, kStreets) + " " +
                       Pick(rng, kStreetKinds),
                   30);
    v[4] = Clipped(
        std::string(Pick(rng, kCities)) + ", " + Pick(rng, kStates) + " " + Digits(rng, 5), 30);
    const std::string domain = Pick(rng, kDomains);
    const std::string handle =
        person ? Lowered(v[0].substr(0, 1) + v[1]) : Lowered(std::string(Pick(rng, kWords)));
    if (Chance(rng, 75))
        v[5] = Clipped(handle + "@" + domain, 35);
    if (company && Chance(rng, 50))
        v[6] =
            Clipped("www." + Lowered(std::string(Pick(rng, kCompanyWords))) +
                        Lowered(std::string(Pick(rng, kCompanyKinds)).substr(0, 4)) + "." + domain,
                    35);
    v[7] = Phone(rng, 90);
    v[8] = Phone(rng, 35);
    v[9] = Notes(rng, 6, 500);

    // Most contacts name no one else; a few name all five.
    const int r = static_cast<int>(rng() % 100);
    const int extras = r < 40 ? 0 : r < 65 ? 1 : r < 80 ? 2 : r < 90 ? 3 : r < 95 ? 4 : 5;
    for (int n = 0; n < 5; ++n) {
        const int base = 10 + n * 7;
        if (n >= extras) {
            // What the editor saves for an untouched extra contact.
            v[base + 2] = "(   )   -    ";
            v[base + 3] = "     ";
            v[base + 4] = "(   )   -    ";
            continue;
        }
        const std::string first = Pick(rng, kFirstNames);
        const std::string last = Pick(rng, kLastNames);
        v[base + 0] = Clipped(first + " " + last, 36);
        v[base + 1] = Chance(rng, 80) ? Pick(rng, kTitles) : "";
        v[base + 2] = Phone(rng, 85);
        v[base + 3] = Extension(rng);
        v[base + 4] = Phone(rng, 25);
        v[base + 5] =
            Chance(rng, 70) ? Clipped(Lowered(first + "." + last) + "@" + domain, 35) : "";
        v[base + 6] = Notes(rng, 3, 200);
    }
    return v;
}

} // namespace

BookStats GenerateBook(int contacts, std::uint32_t seed) {
    PrepareDataFiles(); // the program's own first start: folders, table and three sample rows
    BookStats stats;
    std::mt19937 rng(seed);
    TSQLiteDatabase db(ContactDbPath());
    db.RunStatement("BEGIN");
    const int samples = 3;
    for (int i = samples; i < contacts; ++i) {
        const ContactValues values = MakeContact(rng);
        for (const std::string& value : values)
            stats.textBytes += value.size();
        db.RunStatement(BuildInsertStatement(values));
    }
    // Rows written by older versions of the program or by hand hold NULLs where nothing was
    // ever stored; about one row in ten gets a few, the searched names included now and then.
    // The INSERT statement can only write texts, so this pass sets them afterwards.
    db.RunStatement("UPDATE Customers SET dbCustFax = NULL, dbCustNotes = NULL, dbExtraNotes5 = "
                    "NULL, dbExtraEmail4 = NULL, dbCustWebSite = NULL WHERE dbCustomer_ID > 3 AND "
                    "dbCustomer_ID % 10 = 7");
    db.RunStatement("UPDATE Customers SET dbCustLastName = NULL WHERE dbCustomer_ID > 3 AND "
                    "dbCustomer_ID % 50 = 13");
    db.RunStatement("COMMIT");
    std::unique_ptr<TSQLiteTable> count =
        db.OpenResult("SELECT COUNT(*) AS n, SUM(dbCustNotes IS NULL OR dbCustLastName IS NULL) "
                      "AS nulls FROM Customers");
    stats.contacts = static_cast<int>(count->IntegerAt(0));
    stats.nullRows = static_cast<int>(count->IntegerAt(1));
    return stats;
}
