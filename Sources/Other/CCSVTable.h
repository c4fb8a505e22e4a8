#pragma once
#include "Core/CArray.h"
#include "Core/CStringList.h"

namespace tal {

class CError;
class COutputStream;
class CString;

// A table of text cells read from and written to comma-separated text (the curve editor's curve
// files). Reading accepts ',' and ';' separators, double-quoted fields with doubled quotes inside,
// '#' comments and blanks around cells, and reads the file as 8-bit text; writing uses ';', quotes
// only where needed and ends every row with "\r\n". Rows may differ in length. The table owns its
// rows; one thread at a time.
class CCSVTable {
public:
    CCSVTable() = default;
    CCSVTable(const CCSVTable&) = delete;
    CCSVTable& operator=(const CCSVTable&) = delete;
    ~CCSVTable();

    // --- queries ---
    int rowCount() const noexcept { return mRows.count(); }
    const CStringList& row(int i) const noexcept { return *mRows[i]; }

    // --- operations ---
    // Appends one row per line of the file: every line read, the last one also without a final
    // line feed when it is not empty. An empty or comment-only line gives one empty cell. On a read
    // error the rows read before it stay.
    [[nodiscard]] CError* load(const CString& path);
    // Writes every row as one line of UTF-8. A row that cannot be written is logged and skipped.
    void save(COutputStream& out) const;
    // Appends an empty row and returns it for the caller to fill; the table owns it.
    CStringList& addRow();
    // Reorders the rows by the number in one column (a missing or non-numeric cell counts as 0);
    // rows with equal values keep their order. A negative column counts as missing.
    void sortByColumn(int column, bool ascending);
    void clear() noexcept;

private:
    void parseLine(const CString& line);

    CArray<CStringList*> mRows;   // owned
};

} // namespace tal
