#include "Core/CError.h"

#include <cstring>

namespace tal {

CString formatText(const CString& pattern, std::span<const CString* const> args) {
    CString result;
    const int n = pattern.length();
    for (int i = 0; i < n; ++i) {
        const std::uint32_t c = pattern.charAt(i);
        if (c != '%') {
            if (c > 255 && !result.isWide())
                result.widen(result.length());
            const int len = result.length();
            result.setLength(len + 1, true);
            if (result.isWide())
                result.chars32()[len] = char32_t(c);
            else
                result.chars8()[len] = char(c);
            continue;
        }
        if (i + 1 == n)
            break;
        const std::uint32_t next = pattern.charAt(++i);
        if (next == '%') {
            result.appendChar('%');
        } else if (next >= '1' && next <= '9') {
            const std::size_t index = next - '1';
            if (index < args.size() && args[index] != nullptr)
                result.append(*args[index]);
        }
    }
    return result;
}

CError* makeError(CError* previous, const CString& path, int line, const CString& objectName, const CString& message,
                  const CString& arg1, const CString& arg2, const CString& arg3, const CString& arg4,
                  const CString& arg5) {
    CError* error = previous != nullptr ? previous : new CError();
    CStringList& lines = error->lines();
    if (!message.isEmpty()) {
        const CString* args[] = {&arg1, &arg2, &arg3, &arg4, &arg5};
        if (message.charAt(0) == '@') {
            const int blank = message.findChar(' ');
            if (blank >= 0) {
                const CString text(message, blank + 1, -1);
                lines.add(formatText(text, args));
            } else {
                lines.add(formatText(message, args));
            }
        } else {
            lines.add(formatText(message, args));
        }
    } else if (lines.isEmpty()) {
        lines.addEmpty();
    }
    CString trace(path, "( ");
    trace.append(CString(line));
    if (objectName.isEmpty()) {
        trace.append(" )");
    } else {
        trace.append(" ) // ");
        trace.append(objectName);
    }
    lines.add(trace);
    return error;
}

CString sourcePathOf(const char* file) {
    if (file == nullptr)
        return CString();
    const char* start = file;
    for (const char* root : {"/Sources/", "/tests/", "/tools/", "/bench/"}) {
        const char* at = std::strstr(file, root);
        if (at != nullptr) {
            start = root[1] == 'S' ? at + std::strlen(root) : at + 1;
            break;
        }
    }
    if (start == file)
        if (const char* slash = std::strrchr(file, '/'))
            start = slash + 1;
    const char* dot = std::strrchr(start, '.');
    const char* slash = std::strrchr(start, '/');
    const int count = dot != nullptr && (slash == nullptr || dot > slash) ? int(dot - start) : int(std::strlen(start));
    return CString(start, count);
}

CError* newError(CErrorSite message, const CString& objectName, const CString& arg1, const CString& arg2,
                 const CString& arg3, const CString& arg4, const CString& arg5) {
    const CString path = sourcePathOf(message.where.file_name());
    const CString text = message.wide != nullptr ? *message.wide : CString(message.message);
    return makeError(nullptr, path, int(message.where.line()), objectName, text, arg1, arg2, arg3, arg4, arg5);
}

CError* traceError(CError* error, const CString& objectName, std::source_location where) {
    if (error == nullptr)
        return nullptr;
    return makeError(error, sourcePathOf(where.file_name()), int(where.line()), objectName, CString::emptyString);
}

} // namespace tal
