#pragma once
// The store's text form: UTF-8, one "[FULL\KEY\PATH]" line per key (every key, in creation
// order, parents first, a blank line between keys), then one line per value:
//   "Name"=dword:0000002a       eight lower-case hex digits
//   "Name"="text"               only \" and \\ escaped; a line break in the text is written as
//                               itself, so such a string continues on the next lines
//   "Name"=hex:9a,99,d9,3f      lower-case bytes, "hex:" alone for no bytes
// Every line ends with "\n" ("\r\n" is accepted outside strings); blank lines may stand anywhere.

#include "platform/registry_tree.h"

#include <QByteArray>

namespace platform::regfile {

QByteArray Format(const regtree::Key& root);

// Parses into an empty root. Reading stops at the first damaged line (garbage, a bad escape,
// invalid hex or UTF-8, a value before any key, a last line without its line break); what was
// read before that line stays in the tree. Returns 0 when the whole text was read, otherwise
// the 1-based number of the line where the damaged entry starts.
int Parse(const QByteArray& text, regtree::Key& root);

}  // namespace platform::regfile
