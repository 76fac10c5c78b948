#include "win32/product_copy.h"

#include "net/endpoints.h"

namespace glimor::win32 {

std::string siteLine(const std::string& destination) {
  return "Your pictures go to " + destination;
}

// Each line stays short enough for the page in the wider face of scaled text; a long hot key
// name may wrap its line, for which the label keeps one line to spare.
std::string linksPageText(const std::string& hotKeyName, const std::string& destination) {
  return "Press " + hotKeyName +
         ", click a window or drag a region,\r\n"
         "then press Enter: the link lands on the clipboard.\r\n"
         "\r\n"
         "Glimor starts with Windows unless you untick\r\n"
         "\"Start with Windows\" on the Options page,\r\n"
         "where you can change the hot key too.\r\n"
         "\r\n" +
         siteLine(destination);
}

std::string aboutText() {
  return "Glimor turns a part of your screen into a web link.\r\n\r\n"
         "Press the hot key (Alt+F2 unless you chose another on the Options page): the screen freezes and "
         "the window under the pointer is outlined. A click takes that window (the wheel or Tab steps into "
         "its controls), a click where no window is takes the monitor, and a drag takes a rectangle. The "
         "arrow keys move the pointer by one pixel; Z shows or hides the magnifier.\r\n\r\n"
         "Mark the selection up if you like: R rectangle, A arrow, L line, H highlighter, T text, N "
         "numbered step, B redact, P pixelate; 1 to 8 choose a colour, the wheel the size, Ctrl+Z and "
         "Ctrl+Y undo and redo.\r\n\r\n"
         "Enter or \"Glimo Selection !\" saves the picture beside Glimor.exe as Glimor.bmp, Glimor.jpg, "
         "Glimor.gif and Glimor.png and publishes the type you chose; its link appears on the first page "
         "and on the clipboard. \"S a v e\" keeps the selection under a name of your choice, \"P r i n t\" "
         "prints it on one page, and Esc cancels.\r\n\r\n"
         "Glimor lives in the notification area: click its icon to show or hide this window. Its menu "
         "captures the last region again or in 3 seconds, copies recent links, deletes the last upload, "
         "cancels a running one, and Exit ends Glimor. See FAQ for more.";
}

} // namespace glimor::win32
