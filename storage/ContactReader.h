#pragma once

#include "ContactCards.h"

#include <cstdint>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

// Reads a vCard or CSV file (the format is told by the content, not the name) as a stream:
// a batch of contacts at a time, holding only a bounded stretch of the file in memory, so a
// file of any size can be imported. Vcards are read card by card, CSV row by row, each batch
// through the same parsing a whole file goes through; messages name the line or row of the
// whole file. An extra contact's card is kept in one batch with the cards before it, so that it
// finds its contact when it follows it (as this program writes it) anywhere in the batch.
//
// Errors are ContactFileError with a message for the user; they may come from any batch, so a
// caller that must not change anything for a broken file reads to the end before it commits.
class TContactReader {
public:
    explicit TContactReader(const std::string& filePath);

    // The next contacts of the file, at least one, or false at its end. A file without any
    // contact fails on the first call.
    bool Next(std::vector<ImportedContact>& batch);

    std::uint64_t Size() const { return size_; }
    std::uint64_t BytesRead() const { return consumed_; }

    // Contacts read together, as a rule: enough to keep the per-batch work small beside the
    // parsing, few enough that their memory does not matter.
    static constexpr std::size_t kBatchContacts = 1000;

private:
    enum class Format { VCard, Csv };

    // Keeps at least `wanted` unread bytes in the buffer unless the file ends first.
    bool Fill(std::size_t wanted);
    bool ReadVCardPiece(std::string& piece, std::size_t& firstLine);
    bool ReadCsvChunk(std::string& chunk);
    void NextVCards(std::vector<ImportedContact>& batch);
    void NextCsvRows(std::vector<ImportedContact>& batch);
    void FlushCards(std::vector<ImportedContact>& batch);

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

    // vCard: the line the next piece starts on, and cards not yet made contacts.
    std::size_t line_ = 1;
    std::vector<VCard> cards_;
    // CSV: the header row and how many rows came before the next chunk.
    std::vector<std::string> header_;
    std::size_t rowsBefore_ = 0;
};
