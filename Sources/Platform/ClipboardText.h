#pragma once

namespace tal {

class CString;

// The system clipboard as framework text. While an editor is open on X11 it is the CLIPBOARD
// selection (text as UTF-8: 8-bit characters of 128 and above become two bytes, no terminating
// zero; read back through CString::setUTF8); without one (headless tests and tools) it is a text
// kept in the process. Reading an empty clipboard, one without text, or one whose owner does not
// answer within a second gives the empty string. Main thread only.
void getClipboardText(CString& text);
void setClipboardText(const CString& text);

} // namespace tal
