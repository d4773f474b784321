#pragma once
// UTF-8 checks and the Windows-1252 reading of files written under a Windows code page.

#include <cstddef>
#include <string>
#include <string_view>

namespace almanex {

/// The length of the valid UTF-8 sequence at text[index] (1 to 4), or 0 when none starts there:
/// overlong forms, surrogates and code points above U+10FFFF are invalid.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t index);
bool IsValidUtf8(std::string_view text);
/// Appends a code point up to U+10FFFF as UTF-8, in one to four bytes. A surrogate is encoded as it
/// stands (three bytes no UTF-8 check accepts); callers that read UTF-16 pair or replace them first.
void AppendUtf8(std::string& out, char32_t code);
/// Bytes in Windows-1252 as UTF-8; the five bytes it leaves undefined become the C1 controls of the
/// same number, as the Windows conversion does.
std::string Windows1252ToUtf8(std::string_view bytes);

}  // namespace almanex
