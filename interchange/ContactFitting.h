#pragma once

#include "model/ContactColumns.h"

#include <string>
#include <vector>

// Why a value went to the notes rather than into a field, for the import's summary.
enum class MoveReason {
    NoField,   // nothing in the editor for it, or its field already taken
    PhoneMask, // a phone, fax or extension number the mask cannot hold
    NotPlainEmail,
    UnsafeWeb, // a web address that is not http or https
    TooLong,   // longer than its field takes
    LineBreak, // a line break in a value of a one-line field
};

// The editor's values for one contact built from an untrusted file. Nothing is ever cut or
// dropped silently: whatever does not fit its field — a text over the field's length limit, a
// number the phone mask cannot hold, an e-mail address that is not a plain address, a web address
// that is not http or https — goes whole into the notes with its kind ("Phone: +44 20 7946
// 0958"); a long text also keeps its first part in the field, except an e-mail address, which
// cut would be another address. A value with line breaks for a one-line field keeps its first
// line there (an address its lines joined by ", ") and goes whole into the notes too. The notes
// themselves are never cut: the editor shows a longer stored note whole.
class FittedContact {
public:
    FittedContact();

    // Files this program wrote carry values the address book already held: the editor shows a
    // stored value longer than its limit whole, so such values are kept whole too. The safety
    // rules for e-mail and web addresses hold for every file.
    void KeepLongValues(bool keep) { keepLong_ = keep; }

    // The value for the column, checked and fitted as its type asks.
    void Set(int column, const std::string& value);
    // `owner` is 0 for the contact itself, 1 to 5 for an extra contact, whose own notes take
    // what does not fit its fields.
    void SetText(int column, const std::string& value);
    void SetPhone(int column, const std::string& number);
    void SetExtension(int column, const std::string& extension);
    void SetEmail(int column, const std::string& address);
    void SetWeb(const std::string& address);
    // The value of a notes column as the file gives it, before anything moved there.
    void AddNoteText(int owner, const std::string& text);
    // A value with no field of its own.
    void MoveToNotes(int owner, const std::string& kind, const std::string& value);
    void MoveToNotes(int owner, const std::string& kind, const std::string& value, MoveReason why);

    bool IsFilled(int column) const;
    // An owner's notes as the file gives them, and the lines of values moved there after them.
    const std::string& NoteText(int owner) const { return notes_[owner]; }
    const std::string& MovedNotes(int owner) const { return moved_[owner]; }
    // Values with the notes put together; line breaks in notes as "\r\n".
    ContactValues Values() const;
    // The kinds of value moved to notes, for the summary; empty when all fitted.
    const std::vector<std::string>& MovedKinds() const { return movedKinds_; }
    // Why each of them moved, in the same order.
    const std::vector<MoveReason>& MovedReasons() const { return movedReasons_; }
    // What reading the file had to change in the contact's values, each kind once, worded as
    // the kinds above are listed in the summary (kReadAsWindows1252, kZeroBytesRemoved).
    void NoteChange(const std::string& kind);
    const std::vector<std::string>& ChangedKinds() const { return changedKinds_; }

private:
    static int OwnerOf(int column);

    ContactValues values_;
    std::string notes_[kExtraContacts + 1];
    std::string moved_[kExtraContacts + 1];
    std::vector<std::string> movedKinds_;
    std::vector<MoveReason> movedReasons_;
    std::vector<std::string> changedKinds_;
    bool keepLong_ = false;
};

extern const char* const kReadAsWindows1252; // "text in an unknown or broken charset read as ..."
extern const char* const kZeroBytesRemoved;  // "zero bytes removed"

// A number of the mask's ten digits (optionally after a leading 1 or +1, with the usual separators)
// as the phone mask shows it, "(225)123-4567"; a value already in the mask's shape as it is; empty
// text as the empty mask. False when the number fits none of these.
bool FitPhone(const std::string& text, std::string* value);
bool FitExtension(const std::string& text, std::string* value);
// A plain address: one "@", no blanks, no "?", "&", "<", ">", "%", "#", quotes or controls.
bool IsPlainEmail(const std::string& address);
// http or https, or a host name without scheme; never another scheme or a local path.
bool IsSafeWebAddress(const std::string& address);

// The 45 values as the editor stores them when the contact is opened and saved again: UTF-8,
// notes with "\r\n" breaks, masked fields full length with their literals.
ContactValues AsSaved(const ContactValues& stored);
// The field's caption, for notes and the CSV header.
const std::string& KindOfColumn(int column);
