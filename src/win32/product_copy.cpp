#include "win32/product_copy.h"

#include "net/endpoints.h"

namespace glimor::win32 {

std::string siteLine(const std::string& serviceHost) {
  return "Your pictures go to " + net::ServiceEndpoints(serviceHost).baseUrl();
}

std::string aboutText() {
  return "Glimor turns a part of your screen into a web link.\r\n\r\n"
         "Press the hot key (Alt+F2 unless you chose another on the Options page), drag a rectangle over the "
         "frozen screen and press \"Glimo Selection !\". The picture is saved beside Glimor.exe as "
         "Glimor.bmp, "
         "Glimor.jpg, Glimor.gif and Glimor.png, and the file of the type you chose is published. Its link "
         "appears on "
         "the "
         "first page and on the clipboard.\r\n\r\n"
         "A click without dragging takes the whole screen. \"S a v e\" keeps the selection under a name of "
         "your "
         "choice, \"P r i n t\" prints it on one page, and Esc or a double click cancels.\r\n\r\n"
         "Glimor lives in the notification area: click its icon to show or hide this window, and choose Exit "
         "in its menu to end it.";
}

} // namespace glimor::win32
