#pragma once

// Creates the contact database at ContactDbPath with the Customers table and three sample
// contacts. Raises ESQLiteException on failure and then leaves no file behind.
void BuildContactDatabase();

// The four statements of a new database, in the order they run.
const char* const* SeedStatements(int* count);
