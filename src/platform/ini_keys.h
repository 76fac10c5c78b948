#pragma once
// Every key of Glimor.ini the program reads, with its default and how its value is taken.
#include "platform/ini_values.h"

namespace glimor::platform::ini {

// [Options]: the choices of the Options page, and the selection's own.
inline constexpr Number hotKey{{"Options", "HotKey"}, 32881}; // Alt+F2
inline constexpr Number lastRegionHotKey{{"Options", "LastRegionHotKey"}, 0};
inline constexpr Number recordHotKey{{"Options", "RecordHotKey"}, 41073}; // Shift+Alt+F2
inline constexpr Text imageType{{"Options", "ImgType"}, "JPEG"};
inline constexpr Flag fade{{"Options", "Fade"}, true};
inline constexpr Flag autoUpdate{{"Options", "AutoUpdate"}, true};
inline constexpr Flag allMonitors{{"Options", "AllMonitors"}, true};
inline constexpr Number installed{{"Options", "Installed"}, 0};
inline constexpr Flag snapWindows{{"Options", "SnapWindows"}, true};
inline constexpr Flag copyImage{{"Options", "CopyImage"}, false};
inline constexpr Flag magnifier{{"Options", "Magnifier"}, true};
inline constexpr Text lastRegion{{"Options", "LastRegion"}, ""}; // "left,top,right,bottom" on the screen

// [Record]
inline constexpr Number recordSeconds{{"Record", "Seconds"}, 30, 1, 300, Beyond::clamped};
inline constexpr Number recordFps{{"Record", "Fps"}, 15, 1, 30, Beyond::clamped};
inline constexpr Number recordCursor{{"Record", "Cursor"}, 1, 0, 1, Beyond::clamped};
inline constexpr Text recordType{{"Record", "Type"}, "GIF"}; // or "WebM", in any case

// [Annotate]: each tool's <Name>Colour and <Name>Size (ranges with the tools), and the steps.
inline constexpr std::string_view annotate = "Annotate";
inline constexpr Number stepsContinue{{annotate, "StepsContinue"}, 0, 0, 1};
inline constexpr Number nextStep{{annotate, "NextStep"}, 1, 1, 9999};

// [Service]
inline constexpr Text serviceHost{{"Service", "Host"}, "localhost:8080"}; // empty: the default too
inline constexpr Text caCertificate{{"Service", "CACertificate"}, ""};
inline constexpr Text uploader{{"Service", "Uploader"}, ""};
inline constexpr Text token{{"Service", "Token"}, ""};
inline constexpr Text link{{"Service", "Link"}, "Direct"}; // or "Page": which link is copied

// [Update]
inline constexpr Key updatePublicKey{"Update", "PublicKey"}; // the build's key when absent

} // namespace glimor::platform::ini
