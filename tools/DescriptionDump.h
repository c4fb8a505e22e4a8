#pragma once
#include <string>

namespace tal {
class CObject;
}

// The printed form of an object tree, used by `delmaro-tool dump` and the tests.
namespace delmaro_tool {

// One line per object in tree order: its full name and tag in double quotes, and for a template
// placeholder its body tag; below it one line per attribute (the "full-name" attribute excluded),
// indented by four blanks: the name, the stored type (bool, real, int, text, pointer, none) and the
// value's text. Texts are written as UTF-8 with '"' and '\' escaped by '\' and control characters
// as \n, \r, \t or \xHH.
std::string dumpTree(tal::CObject& root);
// The dump of each template placeholder among root's children, instantiated under a scratch root:
// "template NAME" followed by the instance's tree. root must be the shared object, through which
// the scratch root finds the templates.
std::string dumpTemplates(tal::CObject& root);
// A CString-independent quoted text (for messages and the dump).
std::string quoted(const std::string& utf8);

} // namespace delmaro_tool
