#include "Other/CCSVTable.h"

#include "Core/COutputStream.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Core/CString.h"
#include "Other/CTextReaderLine.h"

#include <algorithm>
#include <vector>

namespace tal {

namespace {

constexpr std::uint32_t kQuote = 34;

void appendChar(CString& s, std::uint32_t c) {
    if (!s.isWide() && c > 255)
        s.widen(s.length());
    const int n = s.length();
    s.setLength(n + 1, true);
    if (s.isWide())
        s.chars32()[n] = char32_t(c);
    else
        s.chars8()[n] = char(c);
}

} // namespace

CCSVTable::~CCSVTable() { clear(); }

void CCSVTable::clear() noexcept {
    for (int i = mRows.count() - 1; i >= 0; --i)
        delete mRows[i];
    mRows.clear();
}

CStringList& CCSVTable::addRow() {
    CStringList* row = new CStringList();
    mRows.add(row);
    return *row;
}

CError* CCSVTable::load(const CString& path) {
    CTextReaderLine reader;
    if (CError* err = reader.open(path, CTextReaderLine::kBytes, 16384))
        return traceError(err);
    CString line;
    for (;;) {
        int terminator = 0;
        if (CError* err = reader.readLine(line, terminator))
            return traceError(err);
        if (terminator == 0) {
            if (!line.isEmpty())   // a last line without a final line feed
                parseLine(line);
            return nullptr;
        }
        parseLine(line);
    }
}

void CCSVTable::parseLine(const CString& line) {
    CStringList& row = addRow();
    CString cell;
    bool inQuotes = false, justClosed = false;
    for (int i = 0; i < line.length(); ++i) {
        const std::uint32_t c = line.charAt(i);
        if (c == kQuote) {
            if (inQuotes) {
                inQuotes = false;
                justClosed = true;
            } else {
                inQuotes = true;
                if (justClosed)
                    appendChar(cell, kQuote);
                justClosed = false;
            }
            continue;
        }
        justClosed = false;
        if (inQuotes) {
            appendChar(cell, c);
        } else if (c == '#') {
            break;
        } else if (c == ',' || c == ';') {
            row.add(cell.trim());
            cell = CString::emptyString;
        } else {
            appendChar(cell, c);
        }
    }
    row.add(cell.trim());
}

void CCSVTable::save(COutputStream& out) const {
    for (int r = 0; r < mRows.count(); ++r) {
        const CStringList& row = *mRows[r];
        CString text;
        for (int i = 0; i < row.count(); ++i) {
            const CString& cell = row[i];
            if (i > 0)
                appendChar(text, ';');
            bool hasQuote = false, needsQuotes = false;
            for (int k = 0; k < cell.length(); ++k) {
                const std::uint32_t c = cell.charAt(k);
                hasQuote = hasQuote || c == kQuote;
                needsQuotes = needsQuotes || c == ',' || c == ';' || c == '#';
            }
            if (hasQuote || needsQuotes)
                appendChar(text, kQuote);
            for (int k = 0; k < cell.length(); ++k) {
                const std::uint32_t c = cell.charAt(k);
                appendChar(text, c);
                if (c == kQuote)
                    appendChar(text, kQuote);
            }
            if (hasQuote || needsQuotes)
                appendChar(text, kQuote);
        }
        text.append("\r\n");
        CError* err = text.isWide() ? out.writeText32(text.chars32(), false) : out.writeText8(text.chars8(), false);
        reportError(&err);
    }
}

void CCSVTable::sortByColumn(int column, bool ascending) {
    struct Key {
        CStringList* row;
        double value;
    };
    std::vector<Key> keys;
    keys.reserve(std::size_t(mRows.count()));
    for (CStringList* row : mRows) {
        double value = 0.0;
        if (column >= 0 && column < row->count()) {
            bool valid = false;
            const double v = parseDouble((*row)[column], &valid);
            value = valid ? v : 0.0;
        }
        keys.push_back({row, value});
    }
    std::stable_sort(keys.begin(), keys.end(), [ascending](const Key& a, const Key& b) {
        return ascending ? a.value < b.value : a.value > b.value;
    });
    for (std::size_t i = 0; i < keys.size(); ++i)
        mRows[int(i)] = keys[i].row;
}

} // namespace tal
