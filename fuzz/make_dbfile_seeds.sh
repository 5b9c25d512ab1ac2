#!/usr/bin/env bash
# Makes the seed files of fuzz_dbfile: the contact database exactly as the program builds it on
# first start, and variants of it — other shapes of the Customers table, odd declared types and
# values, journal modes, page sizes, truncated and damaged files. The seeds are committed under
# corpus/fuzz_dbfile; run this only to make them again.
#   fuzz/make_dbfile_seeds.sh path/to/vellicard
set -euo pipefail
program=$(realpath "$1")
out=$(cd "$(dirname "$0")" && pwd)/corpus/fuzz_dbfile
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$out"

# The program builds its database at start-up, before the window shows.
HOME="$work" QT_QPA_PLATFORM=offscreen "$program" >/dev/null 2>&1 &
pid=$!
real="$work/QuorvaSoftWare/Vellicard2/Vellicard.db"
for _ in $(seq 100); do
  [ -s "$real" ] && sqlite3 "$real" "SELECT count(*) FROM Customers" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1
kill "$pid"
wait "$pid" 2>/dev/null || true
cp "$real" "$out/seed-program-built.db"

variant() { # name, SQL run on a copy of the program's file
  cp "$real" "$work/$1"
  sqlite3 "$work/$1" "$2"
  cp "$work/$1" "$out/seed-$1"
}
variant small-pages.db "PRAGMA page_size=512; VACUUM;"
variant no-rows.db "PRAGMA page_size=512; DELETE FROM Customers; VACUUM;"
variant wal.db "PRAGMA page_size=512; VACUUM; PRAGMA journal_mode=WAL;"
variant many-rows.db "PRAGMA page_size=512;
  WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40)
  INSERT INTO Customers(dbCustCompany, dbCustNotes, dbCustPhone)
    SELECT 'Company ' || i, substr(hex(randomblob(40)), 1, i * 2), '(225)123-' || (1000 + i) FROM n;
  UPDATE Customers SET dbExtraNotes5 = replace(hex(zeroblob(400)), '00', 'xy') WHERE dbCustomer_ID = 2;
  VACUUM;"
variant other-shape.db "DROP TABLE Customers; PRAGMA page_size=512; VACUUM;
  CREATE TABLE Customers(dbCustomer_ID, dbCustCompany integer, dbCustLastName INT,
    dbCustFirstName BOOLEAN, dbCustAddress REAL, dbCustCtyStZp BLOB, dbCustPhone NUMERIC,
    dbCustFax DOUBLE PRECISION, dbCustEmail FLOAT, dbCustWebSite VARCHAR(35), dbCustNotes);
  INSERT INTO Customers VALUES (NULL, 7, 'x', 1, 1e300, x'00410042', '(225)', 2.5, 'NaN', NULL, NULL);
  INSERT INTO Customers VALUES ('1 OR 1=1', -9223372036854775808, 12, 'yes', -0.0, x'', 3, NULL, 1.5e-300, 'w', 'n');
  INSERT INTO Customers VALUES (2.5, 'text', 9223372036854775807, NULL, 'abc', 'plain', 1e19, 'f', -1e19, 5, x'ff00');
  INSERT INTO Customers VALUES (-3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 1);"
variant view.db "ALTER TABLE Customers RENAME TO Stored; PRAGMA page_size=512; VACUUM;
  CREATE VIEW Customers AS SELECT dbCustomer_ID + 0 AS dbCustomer_ID, NULL AS dbCustCompany,
    dbCustLastName || dbCustFirstName AS dbCustLastName, dbCustFirstName, length(dbCustAddress)
    AS dbCustAddress, dbCustCtyStZp, dbCustPhone, dbCustFax, * FROM Stored;"

# Damaged files.
head -c 4096 "$real" > "$out/seed-first-page-only.db"
head -c 100 "$real" > "$out/seed-header-only.db"
: > "$out/seed-empty-file.db"
printf 'not a database at all\n' > "$out/seed-text-file.db"
cp "$out/seed-small-pages.db" "$out/seed-bad-page-size.db"
printf '\x01\x01' | dd of="$out/seed-bad-page-size.db" bs=1 seek=16 conv=notrunc status=none
cp "$out/seed-small-pages.db" "$out/seed-bad-page-count.db"
printf '\x7f\xff\xff\xff' | dd of="$out/seed-bad-page-count.db" bs=1 seek=28 conv=notrunc status=none
# A page of the table's tree overwritten: the schema reads, stepping through the rows fails.
cp "$out/seed-many-rows.db" "$out/seed-damaged-tree.db"
head -c 8 /dev/zero | tr '\0' '\377' |
  dd of="$out/seed-damaged-tree.db" bs=1 seek=$((512 * 12)) conv=notrunc status=none
# The schema text itself damaged.
cp "$out/seed-many-rows.db" "$out/seed-damaged-schema.db"
head -c 64 /dev/zero | dd of="$out/seed-damaged-schema.db" bs=1 seek=1100 conv=notrunc status=none
ls -l "$out"
