#pragma once

#include "interchange/ContactCards.h"
#include "interchange/CsvTable.h"
#include "interchange/VCardParser.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Reads a vCard or CSV file (the format is told by the content, not the name) as a stream:
// a batch of contacts at a time, holding only a bounded stretch of the file in memory, so a
// file of any size can be imported. Vcards are read card by card, CSV row by row, each batch
// through the same parsing a whole file goes through; messages name the line or row of the
// whole file. An extra contact's card is kept in one batch with the cards before it, so that it
// finds its contact when it follows it (as this program writes it) anywhere in the batch.
//
// Errors are EContactFileError with a message for the user; they may come from any batch, so a
// caller that must not change anything for a broken file reads to the end before it commits.
//
// The reading runs ahead of the caller, a few batches at most: one thread cuts the file into
// batches, and each batch is made into contacts by a thread of its own, while the caller does
// what it does with the batch before. Batches and errors still come in the order of the file.
class TContactReader {
public:
    explicit TContactReader(const std::string& filePath);
    ~TContactReader();
    TContactReader(const TContactReader&) = delete;
    TContactReader& operator=(const TContactReader&) = delete;

    // The next contacts of the file, at least one, or false at its end. A file without any
    // contact fails on the first call.
    bool Next(std::vector<ImportedContact>& batch);

    const std::string& Path() const { return path_; }
    std::uint64_t Size() const { return size_; }
    std::uint64_t BytesRead() const { return delivered_; }

    // Contacts read together, as a rule: enough to keep the per-batch work small beside the
    // parsing, few enough that their memory does not matter.
    static constexpr std::size_t kBatchContacts = 1000;

private:
    enum class Format { VCard, Csv };

    // A batch being made: its contacts (or what failed), and how far into the file it reaches.
    struct Pending {
        std::future<std::vector<ImportedContact>> contacts;
        std::uint64_t consumedAfter;
    };
    // Batches being made at once: one for each processor, and one more ready when the caller
    // comes back.
    static std::size_t InFlight();

    // Keeps at least `wanted` unread bytes in the buffer unless the file ends first.
    bool Fill(std::size_t wanted);
    bool ReadVCardPiece(std::string& piece, std::size_t& firstLine);
    // Cuts the next batch and has it made; false at the end of the file.
    bool StartVCards();
    bool StartCsvRows();

    // The cutting thread's work, until the file is cut or the reader goes.
    void Cut();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending> pending_; // guarded by mutex_, as are the two flags
    bool cut_ = false;            // the whole file is cut into batches
    bool stopping_ = false;       // the reader goes
    std::uint64_t delivered_ = 0;
    std::vector<Pending> newBatches_; // the cutting thread's own, before it hands them on
    std::thread cutter_;

    std::string path_;
    std::ifstream in_;
    std::uint64_t size_ = 0;
    std::uint64_t consumed_ = 0; // bytes of the file handed to the parsers
    std::string buffer_;
    std::size_t at_ = 0; // first unread byte of buffer_
    bool eof_ = false;
    Format format_ = Format::VCard;
    // A file in UTF-16 is read as UTF-8: 1 big endian, 2 little endian, 0 not UTF-16. The bytes
    // of a unit or pair cut by a read wait in raw_.
    int utf16_ = 0;
    std::string raw_;
    std::string encoding_ = "UTF-8";
    std::size_t contactsRead_ = 0;

    // vCard: the cards as they come, and a piece read but not yet in a batch.
    TVCardCutter cards_;
    bool cardsDone_ = false;
    std::string aheadPiece_;
    std::size_t aheadLine_ = 0;
    // CSV: the rows as they come, the header row and how many rows came before the next batch.
    TCsvRowReader csv_;
    bool csvDone_ = false;
    std::vector<std::string> header_;
    std::size_t rowsBefore_ = 0;
};
