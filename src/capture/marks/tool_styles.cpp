#include "capture/marks/tool_styles.h"

#include "capture/print_layout.h"
#include "platform/ini_keys.h"

#include <algorithm>

namespace glimor::capture::marks {

namespace {

namespace ini = platform::ini;

// Sizes: stroke widths in pixels; Text the character cell's height; Step the circle's diameter.
// Redact and Pixelate have no size: their rectangle is all.
const std::array<ToolFacts, toolCount> facts{{
    {"Rectangle", 'R', {1, 3}, 1, 40},
    {"Arrow", 'A', {1, 4}, 1, 40},
    {"Line", 'L', {1, 3}, 1, 40},
    {"Highlighter", 'H', {3, 18}, 4, 80},
    {"Text", 'T', {1, 24}, 8, 160},
    {"Step", 'N', {1, 28}, 16, 120},
    {"Redact", 'B', {7, 1}, 1, 1},
    {"Pixelate", 'P', {7, 1}, 1, 1},
}};

// A tool's number in [Annotate]: nothing where it is absent, does not parse or is out of range.
std::optional<int> readNumber(platform::Profile& profile, const std::string& key, int low, int high) {
  std::optional<std::string> text = ini::readIfPresent(profile, {ini::annotate, key});
  std::optional<int> value = text ? ini::parseInteger(*text) : std::nullopt;
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

void writeNumber(platform::Profile& profile, const std::string& key, int value) {
  ini::write(profile, ini::Number{{ini::annotate, key}, 0}, value);
}

} // namespace

const ToolFacts& factsOf(Tool tool) {
  return facts[static_cast<std::size_t>(tool)];
}

std::optional<Tool> toolForKey(char key) {
  if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
  for (int i = 0; i < toolCount; ++i)
    if (facts[static_cast<std::size_t>(i)].key == key) return static_cast<Tool>(i);
  return std::nullopt;
}

ToolStyles::ToolStyles() {
  for (int i = 0; i < toolCount; ++i)
    styles_[static_cast<std::size_t>(i)] = facts[static_cast<std::size_t>(i)].byDefault;
}

void ToolStyles::load(platform::Profile& profile) {
  for (int i = 0; i < toolCount; ++i) {
    const ToolFacts& tool = facts[static_cast<std::size_t>(i)];
    Style& style = styles_[static_cast<std::size_t>(i)];
    std::string name = tool.name;
    style.colour = readNumber(profile, name + "Colour", 1, static_cast<int>(palette.size()))
                       .value_or(tool.byDefault.colour);
    std::optional<int> size = readNumber(profile, name + "Size", tool.minSize, tool.maxSize);
    style.size = size.value_or(tool.byDefault.size);
    sizeRead_[static_cast<std::size_t>(i)] = size.has_value();
  }
  changed_ = {};
  stepsContinue_ = ini::read(profile, ini::stepsContinue) == 1;
  nextStep_ = ini::read(profile, ini::nextStep);
  nextStepChanged_ = false;
}

void ToolStyles::save(platform::Profile& profile) {
  for (int i = 0; i < toolCount; ++i) {
    if (!changed_[static_cast<std::size_t>(i)]) continue;
    std::string name = facts[static_cast<std::size_t>(i)].name;
    writeNumber(profile, name + "Colour", styles_[static_cast<std::size_t>(i)].colour);
    if (facts[static_cast<std::size_t>(i)].minSize < facts[static_cast<std::size_t>(i)].maxSize)
      writeNumber(profile, name + "Size", styles_[static_cast<std::size_t>(i)].size);
    changed_[static_cast<std::size_t>(i)] = false;
  }
  if (nextStepChanged_) {
    ini::write(profile, ini::nextStep, nextStep_);
    nextStepChanged_ = false;
  }
}

void ToolStyles::setColour(Tool tool, int paletteEntry) {
  if (paletteEntry < 1 || paletteEntry > static_cast<int>(palette.size())) return;
  Style& style = styles_[static_cast<std::size_t>(tool)];
  if (style.colour == paletteEntry) return;
  style.colour = paletteEntry;
  changed_[static_cast<std::size_t>(tool)] = true;
}

void ToolStyles::changeSize(Tool tool, int steps) {
  const ToolFacts& f = factsOf(tool);
  Style& style = styles_[static_cast<std::size_t>(tool)];
  // Text and circles grow by two pixels a notch, strokes by one.
  int step = tool == Tool::Text || tool == Tool::Step ? 2 : 1;
  int size = std::clamp(style.size + steps * step, f.minSize, f.maxSize);
  if (size == style.size) return;
  style.size = size;
  changed_[static_cast<std::size_t>(tool)] = true;
}

void ToolStyles::setSize(Tool tool, int size) {
  const ToolFacts& f = factsOf(tool);
  Style& style = styles_[static_cast<std::size_t>(tool)];
  size = std::clamp(size, f.minSize, f.maxSize);
  if (size == style.size) return;
  style.size = size;
  changed_[static_cast<std::size_t>(tool)] = true;
}

void ToolStyles::scaleDefaults(int dpi) {
  for (Tool tool : {Tool::Text, Tool::Step}) {
    auto i = static_cast<std::size_t>(tool);
    if (sizeRead_[i] || changed_[i]) continue;
    const ToolFacts& f = factsOf(tool);
    styles_[i].size = std::clamp(mulDiv(f.byDefault.size, dpi, 96), f.minSize, f.maxSize);
  }
}

std::vector<int> sizeChoices(Tool tool, int current) {
  static constexpr int offered[] = {1, 2, 3, 4, 6, 8, 12, 16, 20, 24, 28, 32, 40, 48, 64, 80, 96, 120, 160};
  const ToolFacts& f = factsOf(tool);
  std::vector<int> sizes;
  if (f.minSize == f.maxSize) return sizes;
  for (int size : offered)
    if (size >= f.minSize && size <= f.maxSize) sizes.push_back(size);
  if (std::find(sizes.begin(), sizes.end(), current) == sizes.end())
    sizes.insert(std::upper_bound(sizes.begin(), sizes.end(), current), current);
  return sizes;
}

void ToolStyles::endSteps(int next) {
  if (!stepsContinue_ || next == nextStep_) return;
  nextStep_ = std::clamp(next, 1, ini::nextStep.highest);
  nextStepChanged_ = true;
}

} // namespace glimor::capture::marks
