#!/usr/bin/python3
# vcardcheck.py FILE.vcf BOOK.db: python3-vobject, a reader that shares nothing with ours, must
# take every card of the export and find, card by card, the names, phones (by their digits, an
# extra contact's extension after its number) and e-mails the book holds: a contact's card, then
# one for each of its extra contacts. Exits non-zero with the first difference.
import re, sqlite3, sys
import vobject

digits = lambda text: re.sub(r"[^0-9]", "", text or "")


def seen(card, extra):
    n, tels = card.contents.get("n"), {"voice": "", "fax": ""}
    for tel in card.contents.get("tel", []):
        tels["fax" if "FAX" in map(str.upper, tel.params.get("TYPE", [])) else "voice"] += digits(tel.value)
    return [card.fn.value if extra else None, None if extra else (n[0].value.family, n[0].value.given),
            tels["voice"], tels["fax"], [e.value for e in card.contents.get("email", [])]]


def held(row):
    v = lambda c: row[c] or ""
    yield [None, (v("dbCustLastName"), v("dbCustFirstName")), digits(v("dbCustPhone")),
           digits(v("dbCustFax")), [v("dbCustEmail")] if v("dbCustEmail") else []]
    for x in (lambda c, n=n: v(c + str(n)) for n in range(1, 6)):
        phone = digits(x("dbExtraPhone") + x("dbExtraPhoneExt"))
        if x("dbExtraName") + x("dbExtraTitle") + x("dbExtraEmail") + x("dbExtraNotes") + phone + digits(x("dbExtraFax")):
            yield [x("dbExtraName"), None, phone, digits(x("dbExtraFax")), [x("dbExtraEmail")] if x("dbExtraEmail") else []]


cards = list(vobject.readComponents(open(sys.argv[1], encoding="utf-8", newline="").read(), validate=True))
book = sqlite3.connect(sys.argv[2])
book.row_factory = sqlite3.Row
wanted = [c for row in book.execute("SELECT * FROM Customers ORDER BY dbCustomer_ID") for c in held(row)]
if len(cards) != len(wanted):
    sys.exit(f"{len(cards)} cards for {len(wanted)} contacts")
for number, (card, want) in enumerate(zip(cards, wanted), 1):
    extra = want[0] is not None
    got = seen(card, extra)
    if not card.fn.value or ("x-vellicard-extra-of" in card.contents) != extra:
        sys.exit(f"card {number}: an empty FN, or not the contact's or extra contact's card")
    if extra and not want[0]:
        got[0] = ""  # with no name the FN stands in with something else
    if got != want:
        sys.exit(f"card {number}: {got} for {want}")
