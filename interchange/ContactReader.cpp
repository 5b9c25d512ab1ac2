#include "interchange/ContactReader.h"

#include "interchange/ContactCsv.h"
#include "interchange/ContactFileError.h"
#include "interchange/CsvTable.h"
#include "interchange/TextCodec.h"
#include "interchange/VCardParser.h"

#include <algorithm>
#include <string_view>
#include <thread>

namespace {

constexpr std::size_t kReadBlock = 1024 * 1024;
// A CSV chunk ends at the first row end after this many bytes.
constexpr std::size_t kCsvChunk = 512 * 1024;
// Enough of the file's start to tell its format: a CSV header never needs more.
constexpr std::size_t kHeadBytes = 64 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

const char* const kNeitherFormat =
    "The file is neither a vCard file (.vcf) nor a CSV file of contacts (.csv).";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Whether the text is `word` (in lower case) in any case of its letters.
bool SameNoCase(std::string_view text, std::string_view word) {
    return text.size() == word.size() && StartsWithNoCase(text, word);
}

// The parsers count lines and rows from the start of what they are given; for a message about
// a later part of the file, the same part is parsed again behind as many empty lines or rows as
// came before it, so that the message names the place in the whole file.
std::vector<VCard> ParseCardsAt(const std::string& piece, std::size_t firstLine) {
    try {
        std::vector<VCard> cards = ParseVCards(piece);
        for (VCard& card : cards)
            card.line += firstLine - 1;
        return cards;
    } catch (const EContactFileError&) {
        if (firstLine > 1)
            ParseVCards(std::string(firstLine - 1, '\n') + piece);
        throw;
    }
}

} // namespace

TContactReader::TContactReader(const std::string& filePath)
    : path_(filePath), in_(filePath, std::ios::binary) {
    if (!in_)
        throw EContactFileError("Cannot open \"" + path_ + "\" for reading.");
    in_.seekg(0, std::ios::end);
    const std::streamoff size = in_.tellg();
    if (size < 0)
        throw EContactFileError("Cannot read \"" + path_ + "\".");
    size_ = static_cast<std::uint64_t>(size);
    in_.seekg(0, std::ios::beg);

    // A file in UTF-16 is told by its first bytes, and read from then on as UTF-8.
    {
        std::string first(static_cast<std::size_t>(std::min<std::uint64_t>(size_, 1024)), '\0');
        in_.read(&first[0], static_cast<std::streamsize>(first.size()));
        std::size_t bom = 0;
        utf16_ = Utf16Order(first, &bom);
        if (utf16_)
            encoding_ = utf16_ == 2 ? "UTF-16LE" : "UTF-16BE";
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(bom), std::ios::beg);
    }

    // Blanks alone make an empty file, however many there are.
    std::size_t start = 0;
    for (;;) {
        Fill(start + kReadBlock);
        while (at_ + start < buffer_.size() && IsBlank(buffer_[at_ + start]))
            ++start;
        if (at_ + start < buffer_.size() || eof_)
            break;
    }
    if (at_ + start == buffer_.size() && std::string_view(buffer_).substr(at_, 3) != kByteOrderMark)
        throw EContactFileError("The file is empty.");
    Fill(start + kHeadBytes);
    const std::string head = buffer_.substr(at_, start + kHeadBytes);
    if (LooksLikeVCard(head))
        format_ = Format::VCard;
    else if (head.find('\0') == std::string::npos && LooksLikeContactCsv(head))
        format_ = Format::Csv;
    else if (head.find('\0') == std::string::npos)
        throw EContactFileError(
            CsvRefusal(head, utf16_ || IsValidUtf8(head) ? encoding_ : "Windows-1252"));
    else
        throw EContactFileError(kNeitherFormat);
}

bool TContactReader::Fill(std::size_t wanted) {
    if (buffer_.size() - at_ >= wanted)
        return true;
    buffer_.erase(0, at_);
    at_ = 0;
    while (buffer_.size() < wanted && !eof_) {
        const std::size_t had = buffer_.size();
        const std::size_t block = std::max(kReadBlock, wanted - had);
        std::string& into = utf16_ ? raw_ : buffer_;
        const std::size_t before = into.size();
        into.resize(before + block);
        in_.read(&into[before], static_cast<std::streamsize>(block));
        const std::streamsize got = in_.gcount();
        into.resize(before + static_cast<std::size_t>(got));
        if (got < static_cast<std::streamsize>(block)) {
            if (in_.bad())
                throw EContactFileError("Cannot read \"" + path_ + "\".");
            eof_ = true;
        }
        if (utf16_)
            buffer_ += TakeUtf16AsUtf8(raw_, utf16_ == 2, eof_);
    }
    return buffer_.size() >= wanted;
}

// The lines up to the end of the next card (or of the file), cut by the card grammar itself as
// the file is read.
bool TContactReader::ReadVCardPiece(std::string& piece, std::size_t& firstLine) {
    while (!cards_.Take(piece, firstLine)) {
        if (at_ < buffer_.size()) {
            const std::size_t take = std::min(kReadBlock, buffer_.size() - at_);
            cards_.Feed(std::string_view(buffer_.data() + at_, take));
            at_ += take;
        } else if (!eof_) {
            Fill(kReadBlock);
        } else if (!cardsDone_) {
            cards_.Finish();
            cardsDone_ = true;
        } else {
            return false;
        }
    }
    consumed_ += piece.size();
    return true;
}

// Whether the piece holds an extra contact's card, which must stay in one batch with the cards
// before it. A mention elsewhere (in a note, say) only keeps a batch together a card longer.
bool HoldsExtraCard(std::string_view piece) {
    static constexpr std::string_view kMark = "x-vellicard-extra-of";
    for (std::size_t at = 0; at + kMark.size() <= piece.size(); ++at)
        if (SameNoCase(piece.substr(at, kMark.size()), kMark))
            return true;
    return false;
}

bool TContactReader::StartVCards() {
    std::string chunk;
    std::size_t firstLine = 0;
    std::size_t cards = 0;
    for (;;) {
        if (aheadPiece_.empty() && !ReadVCardPiece(aheadPiece_, aheadLine_))
            break;
        if (cards >= kBatchContacts && !HoldsExtraCard(aheadPiece_))
            break;
        if (chunk.empty())
            firstLine = aheadLine_;
        chunk += aheadPiece_;
        aheadPiece_.clear();
        ++cards;
    }
    if (chunk.empty())
        return false;
    const std::uint64_t consumedAfter = consumed_ - aheadPiece_.size();
    newBatches_.push_back({std::async(std::launch::async,
                                   [chunk = std::move(chunk), firstLine] {
                                       return ContactsFromCards(ParseCardsAt(chunk, firstLine));
                                   }),
                        consumedAfter});
    return true;
}

// Whole rows, those that end in the next kCsvChunk bytes of the file or more, read by the one
// CSV grammar as the bytes come; rows go on across the cuts.
bool TContactReader::StartCsvRows() {
    std::vector<CsvRow> rows;
    while (rows.empty()) {
        if (at_ >= buffer_.size() && !eof_)
            Fill(kCsvChunk);
        if (at_ < buffer_.size()) {
            const std::size_t take = std::min(kCsvChunk, buffer_.size() - at_);
            const std::string_view part(buffer_.data() + at_, take);
            if (part.find('\0') != std::string_view::npos)
                throw EContactFileError(kNeitherFormat);
            csv_.Feed(part);
            at_ += take;
            consumed_ += take;
        } else if (!csvDone_) {
            csv_.Finish();
            csvDone_ = true;
        } else {
            return false;
        }
        for (CsvRow row; csv_.Take(row);)
            rows.push_back(std::move(row));
    }
    std::vector<CsvRow> table;
    table.reserve(rows.size() + 1);
    auto first = rows.begin();
    if (header_.empty()) {
        header_ = std::move(rows.front());
        ++first;
        rowsBefore_ = 1;
    }
    table.push_back(header_);
    for (auto row = first; row != rows.end(); ++row)
        table.push_back(std::move(*row));
    if (table.size() == 1)
        return true; // the header alone so far
    const std::size_t rowsBefore = rowsBefore_;
    rowsBefore_ += table.size() - 1;
    newBatches_.push_back({std::async(std::launch::async,
                                   [table = std::move(table), rowsBefore] {
                                       std::vector<ImportedContact> contacts =
                                           ContactsFromCsv(table);
                                       for (ImportedContact& contact : contacts)
                                           contact.line += rowsBefore - 1;
                                       return contacts;
                                   }),
                        consumed_});
    return true;
}

TContactReader::~TContactReader() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (cutter_.joinable())
        cutter_.join();
    // Batches still being made are waited for as their futures go.
}

std::size_t TContactReader::InFlight() {
    return std::max(2u, std::thread::hardware_concurrency()) + 1;
}

void TContactReader::Cut() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || pending_.size() < InFlight(); });
            if (stopping_)
                return;
        }
        // What cutting the file throws comes after the batches cut before it, as a failed batch.
        bool more = false;
        std::exception_ptr failure;
        const std::size_t had = newBatches_.size();
        try {
            more = format_ == Format::VCard ? StartVCards() : StartCsvRows();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (had < newBatches_.size()) {
            pending_.push_back(std::move(newBatches_.back()));
            newBatches_.pop_back();
        }
        if (failure) {
            std::promise<std::vector<ImportedContact>> failed;
            failed.set_exception(failure);
            pending_.push_back({failed.get_future(), consumed_});
        }
        if (failure || !more) {
            cut_ = true;
            changed_.notify_all();
            return;
        }
        changed_.notify_all();
    }
}

bool TContactReader::Next(std::vector<ImportedContact>& batch) {
    batch.clear();
    if (!cutter_.joinable())
        cutter_ = std::thread([this] { Cut(); });
    while (batch.empty()) {
        Pending next;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return cut_ || !pending_.empty(); });
            if (pending_.empty())
                break;
            next = std::move(pending_.front());
            pending_.pop_front();
        }
        changed_.notify_all();
        batch = next.contacts.get();
        delivered_ = next.consumedAfter;
    }
    if (batch.empty() && contactsRead_ == 0)
        throw EContactFileError("The file holds no contacts.");
    contactsRead_ += batch.size();
    return !batch.empty();
}
