#pragma once
#include "Core/CString.h"

namespace tal {

class CAppData;

// Text items of an application-data scope: one stream string (32-bit UTF-8 byte count, then the
// bytes) in a record tagged "dstr". Any thread.

// The item's text; defaultText when the item is absent everywhere (or scope is null); the empty
// text when its bytes are not a readable string.
CString readAppDataString(CAppData* scope, const CString& name, const CString& defaultText);
// Stores text as the item (see CAppData::write: cached, saved, listeners told with sender). A text
// longer than 61440 UTF-8 bytes, which no read would accept, stores nothing.
void writeAppDataString(CAppData* scope, const CString& name, const CString& text, const void* sender);

} // namespace tal
