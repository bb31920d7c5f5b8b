#pragma once
// Conversion between the UTF-8 of the field texts and the 8-bit Shift_JIS
// (Windows code page 932) of the result and data files.

#include <string>
#include <string_view>

namespace kelvane {

// UTF-8 -> code page 932.  False, with `out` unspecified, when the text is
// not valid UTF-8 or holds a character the code page cannot represent.
bool Utf8ToCp932(std::string_view utf8, std::string& out);

// Code page 932 -> UTF-8.  A byte that starts no character of the code page
// (or an incomplete double-byte character) becomes U+FFFD, so the field
// shows that something was there and the conversion of the run refuses it.
std::string Cp932ToUtf8(std::string_view bytes);

}  // namespace kelvane
