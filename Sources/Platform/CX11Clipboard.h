#pragma once
#include <cstdint>
#include <string>

union _XEvent;
struct _XDisplay;

namespace tal {

class CX11Display;

// Text on the X11 CLIPBOARD selection. Writing takes ownership of the selection and answers other
// clients' requests for TARGETS, UTF8_STRING, STRING (Latin-1) and TEXT from the display's event
// dispatch; reading asks the owner for UTF8_STRING (else STRING) and waits for the answer up to a
// timeout, leaving other events queued in Xlib for the display's next dispatch (the connection's
// descriptor does not show them again: the caller dispatches afterwards). Texts are UTF-8 bytes,
// passed unchanged.
// Owned by the editor next to its display (which must outlive it); main thread only.
class CX11Clipboard {
public:
    // --- life cycle ---
    CX11Clipboard() = default;
    ~CX11Clipboard();
    CX11Clipboard(const CX11Clipboard&) = delete;
    CX11Clipboard& operator=(const CX11Clipboard&) = delete;

    // Makes the hidden window that owns the selection and receives answers. False without a display.
    bool create(CX11Display& display);
    void destroy();

    // --- operations ---
    // Owns the selection with `utf8` as its text. False when the server gave it to no one.
    bool setText(const std::string& utf8);
    // The selection's text: our own text while we own it, else the owner's answer. False (and an
    // empty text) when there is no owner, it has no text, or it did not answer within timeoutMs.
    bool getText(std::string& utf8, int timeoutMs = 1000);
    // Handles the selection events of its window; true when the event was one of them.
    bool handleEvent(_XEvent& event);

    // --- queries ---
    bool ownsSelection() const noexcept { return mOwned; }
    std::uint64_t window() const noexcept { return mWindow; }

private:
    static int isSelectionEvent(_XDisplay*, _XEvent* event, char* self);

    CX11Display* mDisplay = nullptr;      // not owned; cleared by destroy
    std::uint64_t mWindow = 0;
    bool mOwned = false;
    std::string mText;                    // what we offer while we own the selection
    bool mWaiting = false;                // a read is waiting for its SelectionNotify
    bool mAnswered = false;
    bool mAnswerOk = false;
    std::string mAnswer;
};

} // namespace tal
