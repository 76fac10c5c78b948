#pragma once
#include <optional>
#include <string>

namespace glimor::platform {

struct SaveDialogSetup {
  std::string title;
  std::string filter;  // "Description|pattern|Description|pattern..."
  int filterIndex = 1; // 1-based, the entry selected when the dialog opens
  std::string defaultExtension;
  std::string fileName;       // the name it opens with
  std::string fallbackFolder; // where it opens when the user has no Pictures folder
  bool askBeforeOverwrite = true;
  bool hideReadOnly = true;
  bool resizable = true;
};

// The picture save dialog; the full path chosen, or nothing when cancelled.
class SaveDialog {
public:
  virtual ~SaveDialog() = default;
  virtual std::optional<std::string> ask(const SaveDialogSetup& setup) = 0;
};

} // namespace glimor::platform
