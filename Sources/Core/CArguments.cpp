#include "Core/CArguments.h"

#include "Core/CError.h"
#include "Core/NumberText.h"

namespace tal {

namespace {

bool isAlpha(std::uint32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isArgumentDigit(std::uint32_t c) { return c >= '0' && c <= '9'; }

const CString kHelpName("help");

} // namespace

CArguments::CArguments(int argc, const char* const* argv, const CString& version, const CString& notice,
                       const CString& description)
    : mVersion(version), mNotice(notice), mDescription(description) {
    if (argc > 0 && argv[0] != nullptr) {
        const CString path(argv[0]);
        const int slash = path.findChar('/');
        mProgram = slash < 0 ? path : CString(path, path.findLast(CString("/")) + 1, -1);
    }
    for (int i = 1; i < argc; ++i)
        mWords.add(argv[i] != nullptr ? argv[i] : "");
    addOptional('h', kHelpName, kSwitch, CString("Prints this help."));
}

void CArguments::addRequired(const CString& name, int type, const CString& description) {
    Definition def;
    def.name = name;
    def.type = type;
    def.description = description;
    mRequired.push_back(def);
}

void CArguments::addOptional(char shortName, const CString& longName, int type, const CString& description) {
    Definition def;
    def.shortName = shortName;
    def.name = longName;
    def.type = type;
    def.description = description;
    mOptional.push_back(def);
}

CArguments::Definition* CArguments::findLong(const CString& name) noexcept {
    for (Definition& def : mOptional)
        if (!name.isEmpty() && def.name == name)
            return &def;
    return nullptr;
}

CArguments::Definition* CArguments::findShort(std::uint32_t c) noexcept {
    for (Definition& def : mOptional)
        if (def.shortName != 0 && std::uint32_t(static_cast<unsigned char>(def.shortName)) == c)
            return &def;
    return nullptr;
}

const CArguments::Definition* CArguments::findOptional(const CString& longName) const noexcept {
    return const_cast<CArguments*>(this)->findLong(longName);
}

bool CArguments::isGiven(const CString& longName) const noexcept {
    const Definition* def = findOptional(longName);
    return def != nullptr && def->position != 0;
}

CError* CArguments::check() {
    if (!mRequired.empty() && mWords.isEmpty()) {
        printHelp(false);
        std::fprintf(mOut, "Please specify --help or -h to get the command line information.\n");
        return newError("");
    }
    std::size_t requiredGiven = 0;
    for (int position = 1; !mWords.isEmpty(); ++position) {
        const CString word = mWords[0].trim();
        mWords.remove(0);
        const int wordPosition = position;
        const CString positionText(position);
        if (word.isEmpty() || word.charAt(0) != '-') {
            if (requiredGiven >= mRequired.size())
                return newError("@talstr_CArguments_check_TooManyArguments Too many arguments specified in the "
                                "command line at position %1.", CString::emptyString, positionText);
            mRequired[requiredGiven].value = word;
            mRequired[requiredGiven].position = position;
            ++requiredGiven;
            continue;
        }
        if (word.length() == 1)
            return newError("@talstr_CArguments_check_InvalidArgumentName Invalid argument name in \"%1\" specified "
                            "at command line position %2.", CString::emptyString, word, positionText);
        Definition* def = nullptr;
        CString value;
        if (word.charAt(1) == '-') {
            const CString body(word, 2, -1);
            const int equals = body.findChar('=');
            const CString name = equals < 0 ? body : CString(body, 0, equals);
            def = findLong(name);
            if (def == nullptr)
                return newError("@talstr_CArguments_check_InvalidArgumentName Invalid argument name in \"%1\" "
                                "specified at command line position %2.", CString::emptyString, word, positionText);
            if (equals >= 0)
                value = CString(body, equals + 1, -1);
            if ((equals < 0 && def->type != kSwitch) || (equals >= 0 && value.findChar('=') >= 0))
                return newError("@talstr_CArguments_check_NoArgumentValue No argument value specified in \"%1\" at "
                                "command line position %2.", CString::emptyString, word, positionText);
            if (equals < 0)
                value = "true";
        } else {
            def = findShort(word.charAt(1));
            if (def == nullptr)
                return newError("@talstr_CArguments_check_InvalidArgumentName Invalid argument name in \"%1\" "
                                "specified at command line position %2.", CString::emptyString, word, positionText);
            if (def->type == kSwitch) {
                if (word.length() > 2)
                    return newError("@talstr_CArguments_check_UnexpectedArgValue Unexpected argument value "
                                    "specified in \"%1\" at command line position %2.", CString::emptyString, word, positionText);
                value = "true";
            } else if (word.length() > 2) {
                value = CString(word, 2, -1);
            } else {
                if (mWords.isEmpty())
                    return newError("@talstr_CArguments_check_NoArgumentValue No argument value specified in \"%1\" "
                                    "at command line position %2.", CString::emptyString, word, positionText);
                value = mWords[0].trim();
                mWords.remove(0);
                ++position;
            }
        }
        if (def->position != 0)
            return newError("@talstr_CArguments_check_RedefinedArgValue Redefining argument \"%1\"'s value at "
                            "command line position %2 is not allowed.", CString::emptyString, def->name, positionText);
        def->value = value;
        def->position = wordPosition;
        if (def == &mOptional.front()) {
            printHelp(true);
            return newError("");
        }
    }
    if (requiredGiven < mRequired.size())
        return newError("@talstr_CArguments_check_NotEnoughArguments Not enough required arguments specified in the "
                        "command line.");
    for (Definition& def : mRequired)
        if (CError* error = parseArgValue(def))
            return traceError(error);
    for (Definition& def : mOptional)
        if (def.position != 0)
            if (CError* error = parseArgValue(def))
                return traceError(error);
    return nullptr;
}

CError* CArguments::parseArgValue(Definition& def) {
    const CString position(def.position);
    switch (def.type) {
    case kFileName:
    case kFileNameOrEmpty:
    case kFolder: {
        CString path = def.value;
        for (int i = 0; i < path.length(); ++i) {
            const std::uint32_t c = path.charAt(i);
            if (c < 31)
                return newError("@talstr_CArguments_parseArgValue_InvalidFileChar Argument \"%1\" specified at the "
                                "command line position %2 contains unallowed characters.", CString::emptyString, def.name, position);
            if (c == '\\') {
                if (path.isWide())
                    path.chars32()[i] = U'/';
                else
                    path.chars8()[i] = '/';
            }
        }
        const bool endsWithSlash = !path.isEmpty() && path.charAt(path.length() - 1) == '/';
        if (def.type == kFolder) {
            if (!path.isEmpty() && !endsWithSlash)
                path.append("/");
        } else if (path.isEmpty()) {
            if (def.type == kFileName)
                return newError("@talstr_CArguments_parseArgValue_EmptyFileName File name argument \"%1\" specified "
                                "at the command line position %2 cannot be empty.", CString::emptyString, def.name, position);
        } else if (endsWithSlash) {
            return newError("@talstr_CArguments_parseArgValue_SlashFileName File name argument \"%1\" specified at "
                            "the command line position %2 cannot end with a slash.", CString::emptyString, def.name, position);
        }
        def.value = path;
        return nullptr;
    }
    case kIdentifier: {
        if (def.value.isEmpty())
            return newError("@talstr_CArguments_parseArgValue_EmptyCIdent Argument \"%1\" specified at the command "
                            "line position %2 contains an empty C identifier.", CString::emptyString, def.name, position);
        const std::uint32_t first = def.value.charAt(0);
        if (!isAlpha(first) && first != '_')
            return newError("@talstr_CArguments_parseArgValue_CIdentNonAlpha C identifier \"%1\" specified in the "
                            "\"%2\" argument at the command line position %3 cannot begin with a non-alpha "
                            "character.", CString::emptyString, def.value, def.name, position);
        for (int i = 1; i < def.value.length(); ++i) {
            const std::uint32_t c = def.value.charAt(i);
            if (!isAlpha(c) && !isArgumentDigit(c) && c != '_')
                return newError("@talstr_CArguments_parseArgValue_InvalidCIdentChar C identifier \"%1\" specified in "
                                "the \"%2\" argument at the command line position %3 contains unallowed "
                                "character(s).", CString::emptyString, def.value, def.name, position);
        }
        return nullptr;
    }
    case kSwitch: {
        bool valid = false;
        def.value = def.value.toLower();
        parseBool(def.value, false, &valid);
        if (!valid)
            return newError("@talstr_CArguments_parseArgValue_InvalidBool Invalid argument \"%1\"'s boolean value "
                            "\"%2\" specified at the command line position %3.", CString::emptyString, def.name, def.value, position);
        return nullptr;
    }
    case kInteger: {
        bool ok = false;
        parseInt(def.value, 0, &ok);
        if (!ok)
            return newError("@talstr_CArguments_parseArgValue_InvalidInt Invalid argument \"%1\"'s integer value "
                            "\"%2\" specified at the command line position %3.", CString::emptyString, def.name, def.value, position);
        return nullptr;
    }
    case kReal: {
        bool valid = false;
        parseDouble(def.value, &valid);
        if (!valid)
            return newError("@talstr_CArguments_parseArgValue_InvalidDouble Invalid argument \"%1\"'s floating point "
                            "value \"%2\" specified at the command line position %3.", CString::emptyString, def.name, def.value, position);
        return nullptr;
    }
    default:
        return nullptr;
    }
}

void CArguments::printWrapped(const CString& text, bool indented) {
    const CString narrow = text.narrowed();
    CStringList words;
    narrow.split(words, ' ', true, true);
    const int indent = indented ? 2 : 0;
    int column = 0;
    bool afterSentence = false;
    for (int i = 0; i < words.count(); ++i) {
        const CString& word = words[i];
        const int gap = column == 0 ? 0 : (afterSentence ? 2 : 1);
        if (column != 0 && column + gap + word.length() >= 80) {
            std::fputc('\n', mOut);
            column = 0;
        }
        if (column == 0) {
            std::fprintf(mOut, "%*s", indent, "");
            column = indent;
        } else {
            std::fprintf(mOut, "%*s", gap, "");
            column += gap;
        }
        std::fputs(word.chars8(), mOut);
        column += word.length();
        afterSentence = word.charAt(word.length() - 1) == '.';
    }
    std::fputc('\n', mOut);
}

void CArguments::printHelp(bool full) {
    std::fprintf(mOut, "%s (%s) %s\n\n", mProgram.narrowed().chars8(), mVersion.narrowed().chars8(),
                 mNotice.narrowed().chars8());
    CString usage("Usage: ");
    usage.append(mProgram);
    for (const Definition& def : mRequired) {
        usage.append(" <");
        usage.append(def.name);
        usage.append(">");
    }
    if (mOptional.size() > 1)
        usage.append(" [options]");
    printWrapped(usage, false);
    std::fputc('\n', mOut);
    if (!mDescription.isEmpty())
        printWrapped(mDescription, false);
    if (!full)
        return;
    if (!mRequired.empty()) {
        std::fprintf(mOut, "\n%s\n", mRequired.size() == 1
                                         ? "* Required argument:"
                                         : "* Required arguments (should be defined in a strict left-to-right order):");
        for (const Definition& def : mRequired) {
            CString line("<");
            line.append(def.name);
            line.append(">: ");
            line.append(def.description);
            printWrapped(line, true);
        }
    }
    std::fprintf(mOut, "\n* Optional arguments (can be defined anywhere in the command line):\n");
    for (const Definition& def : mOptional) {
        CString line;
        if (def.shortName != 0) {
            const char shortText[] = {'-', def.shortName, ',', 0};
            line.append(shortText);
            line.append(" ");
        }
        line.append("--");
        line.append(def.name);
        line.append(def.type == kSwitch ? ": " : "=<value>: ");
        line.append(def.description);
        printWrapped(line, true);
    }
}

} // namespace tal
