#pragma once
#include "capture/marks/mark.h"
#include "platform/profile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glimor::capture::marks {

// The fixed palette that the keys 1 to 8 pick from.
inline constexpr std::array<std::uint32_t, 8> palette{
    0xE02020, // 1 red
    0xF08000, // 2 orange
    0xFFE000, // 3 yellow
    0x20A040, // 4 green
    0x2060E0, // 5 blue
    0x9030C0, // 6 purple
    0x000000, // 7 black
    0xFFFFFF, // 8 white
};

inline constexpr std::array<const char*, 8> paletteNames{"Red",  "Orange", "Yellow", "Green",
                                                         "Blue", "Purple", "Black",  "White"};

// What the next mark of a tool looks like: a palette entry (1 to 8) and its size in pixels.
struct Style {
  int colour = 1;
  int size = 1;
  bool operator==(const Style&) const = default;
};

struct ToolFacts {
  const char* name; // its keys' prefix in [Annotate] and its tooltip
  char key;         // the key that picks it
  Style byDefault;
  int minSize, maxSize; // what the wheel can reach
};
const ToolFacts& factsOf(Tool tool);
std::optional<Tool> toolForKey(char key); // either letter case
// The sizes a menu offers for the tool, `current` among them; none for a tool without sizes.
std::vector<int> sizeChoices(Tool tool, int current);

// Each tool's colour and size and the step counter, remembered in Glimor.ini's [Annotate] section
// (`<Tool>Colour`, `<Tool>Size`, `StepsContinue`, `NextStep`). A value that is missing, not a
// number or out of its range gives the default; nothing is written until something changed.
class ToolStyles {
public:
  ToolStyles();
  void load(platform::Profile& profile);
  // Writes what changed since the last load or save; throws Error when the file cannot be written.
  void save(platform::Profile& profile);

  const Style& of(Tool tool) const { return styles_[static_cast<int>(tool)]; }
  std::uint32_t colourOf(Tool tool) const { return palette[static_cast<std::size_t>(of(tool).colour - 1)]; }
  void setColour(Tool tool, int paletteEntry);
  // Moves the size by `steps` (the wheel's notches), kept within the tool's range.
  void changeSize(Tool tool, int steps);
  void setSize(Tool tool, int size);
  // Text and steps whose size is the default one (neither read from Glimor.ini nor changed) get
  // it scaled from 96 dpi to `dpi`, so they look the same size on every monitor.
  void scaleDefaults(int dpi);

  // The number the first step of a capture gets: 1, or where the last capture ended when
  // StepsContinue is on.
  int firstStep() const { return stepsContinue_ ? nextStep_ : 1; }
  // A capture that was published or saved ends with `next` as its next step number.
  void endSteps(int next);

private:
  std::array<Style, toolCount> styles_;
  std::array<bool, toolCount> changed_{};
  std::array<bool, toolCount> sizeRead_{}; // the size came from Glimor.ini
  bool stepsContinue_ = false;
  int nextStep_ = 1;
  bool nextStepChanged_ = false;
};

} // namespace glimor::capture::marks
