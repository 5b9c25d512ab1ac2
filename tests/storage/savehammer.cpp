// A second program on the contact database, for the fault tests. Two modes:
//
//   savehammer lock <db> exclusive|immediate
//     Takes the lock in a transaction, prints "locked" and holds it until its input ends.
//
//   savehammer hammer <db> <log> <first generation> <pause microseconds> all|own
//     Saves contacts through the program's own storage code, one fresh connection per save as
//     the window does, until it is killed. "all" inserts, updates and deletes any contact;
//     "own" only inserts contacts and updates those it inserted itself. Before each save it appends
//     "B <generation> <I|U|X> <id>" to the log and after it "D <generation> <id>" (or "F
//     <generation>" when the save raised), each line flushed to disk, so a checker knows which
//     saves had completed and which one may have been cut short.

#include "tests/storage/savehammer.h"

#include "storage/CustomerRows.h"
#include "storage/SQLiteTable3.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int HoldLock(const std::string& path, const std::string& kind) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        std::cout << "failed: " << sqlite3_errmsg(db) << std::endl;
        return 2;
    }
    const std::string begin = kind == "exclusive" ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE";
    char* error = nullptr;
    if (sqlite3_exec(db, begin.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::cout << "failed: " << (error ? error : "?") << std::endl;
        sqlite3_free(error);
        sqlite3_close(db);
        return 2;
    }
    std::cout << "locked" << std::endl;
    char buffer[256];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

class Log {
public:
    explicit Log(const std::string& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644)) {}
    ~Log() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    void Line(const std::string& line) {
        const std::string text = line + "\n";
        if (::write(fd_, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
            ::fdatasync(fd_) != 0) {
            std::perror("log");
            std::_Exit(4);
        }
    }

private:
    int fd_;
};

std::vector<std::string> StoredIds(const std::string& path) {
    std::vector<std::string> ids;
    TSQLiteDatabase db(path);
    auto result = db.OpenResult("SELECT dbCustomer_ID FROM Customers");
    while (!result->AtEnd()) {
        ids.push_back(result->TextOrEmptyAt(0));
        result->Advance();
    }
    return ids;
}

int Hammer(const std::string& path, const std::string& logPath, std::uint64_t generation,
           long pauseMicroseconds, bool all) {
    Log log(logPath);
    if (!log.ok()) {
        std::perror("log");
        return 2;
    }
    const pid_t parent = ::getppid();
    std::vector<std::string> ids;
    try {
        if (all)
            ids = StoredIds(path);
    } catch (const ESQLiteException& e) {
        std::cerr << e.what() << std::endl;
        return 3;
    }
    std::mt19937_64 random(generation);
    // Runs until killed; an orphan stops by itself rather than hammering on for ever.
    for (; ::getppid() == parent; ++generation) {
        const unsigned roll = random() % 100;
        char op = 'I';
        std::size_t victim = 0;
        if (!ids.empty()) {
            victim = random() % ids.size();
            // Deletes keep the file small enough that every compaction stays quick.
            const unsigned deleteShare = ids.size() > 40 ? 40 : 15;
            if (all && roll < deleteShare)
                op = 'X';
            else if (roll < 60)
                op = 'U';
        }
        const std::string id = op == 'I' ? "0" : ids[victim];
        log.Line("B " + std::to_string(generation) + " " + op + " " + id);
        try {
            TSQLiteDatabase db(path);
            std::string done = id;
            if (op == 'X') {
                DeleteContact(db, id);
                ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(victim));
            } else {
                WriteContact(db, HammerValues(generation), op == 'I' ? std::string() : id);
                if (op == 'I') {
                    done = std::to_string(db.LastInsertRowId());
                    ids.push_back(done);
                }
            }
            log.Line("D " + std::to_string(generation) + " " + done);
        } catch (const ESQLiteException&) {
            log.Line("F " + std::to_string(generation));
        }
        if (pauseMicroseconds > 0)
            ::usleep(static_cast<useconds_t>(pauseMicroseconds));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "lock")
        return HoldLock(args[1], args[2]);
    if (args.size() == 6 && args[0] == "hammer" && (args[5] == "all" || args[5] == "own"))
        return Hammer(args[1], args[2], std::strtoull(args[3].c_str(), nullptr, 10),
                      std::strtol(args[4].c_str(), nullptr, 10), args[5] == "all");
    std::cerr << "usage: savehammer lock <db> exclusive|immediate\n"
                 "       savehammer hammer <db> <log> <first generation> <pause us> all|own\n";
    return 1;
}
