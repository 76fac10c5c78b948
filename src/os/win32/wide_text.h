#pragma once
#include <string>
#include <string_view>

// The one place where the shell's text changes form: the core speaks UTF-8, Windows' wide
// functions UTF-16. Every Win32 call that takes or gives text goes through these two.
namespace glimor::win32 {

// UTF-16 for a Win32 call; throws glimor::Error on text that is not UTF-8.
std::wstring widen(std::string_view utf8);

// UTF-16 for text that is only shown (a message, a caption, a status): bytes that are no UTF-8
// show as U+FFFD, so a message is never lost to the text it carries.
std::wstring widenShown(std::string_view utf8);

// UTF-8 for the core; throws glimor::Error on a lone surrogate.
std::string narrow(std::wstring_view wide);

// Text in the system's ANSI code page (as files of earlier versions hold it) as UTF-8; for
// text that is not valid UTF-8 already.
std::string narrowFromAnsi(std::string_view ansi);

// True when the bytes are valid UTF-8 (plain ASCII is).
bool isUtf8(std::string_view bytes);

} // namespace glimor::win32
