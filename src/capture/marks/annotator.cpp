#include "capture/marks/annotator.h"

#include "capture/picture_ops.h"

namespace glimor::capture::marks {

namespace {
constexpr char enter = '\r', ctrlY = 25, ctrlZ = 26;
} // namespace

Annotator::Annotator(CaptureState& state, platform::SelectionView& view, platform::TextGlyphs& glyphs,
                     platform::Profile& profile)
    : view_(view), profile_(profile), canvas_(state, glyphs) {}

void Annotator::onShow() {
  styles_.load(profile_);
  tool_.reset();
  canvas_.reset();
  canvas_.takeDamage();
  firstStep_ = styles_.firstStep();
  showTool();
}

void Annotator::onNewSelection() {
  canvas_.reset();
  canvas_.takeDamage(); // the new selection repaints all of it
  firstStep_ = styles_.firstStep();
}

void Annotator::onClose(bool kept) {
  canvas_.endTyping(false);
  if (kept) styles_.endSteps(firstStep_ + canvas_.count(Tool::Step));
  canvas_.reset();
  canvas_.takeDamage();
  tool_.reset();
  styles_.save(profile_);
}

Annotator::Key Annotator::onKey(char key) {
  if (canvas_.typing()) {
    if (key == enter)
      endTyping(true);
    else
      canvas_.type(key);
    showChanges();
    return Key::Taken;
  }
  if (canvas_.dragging()) return Key::Taken; // the drag ends first
  switch (key) {
  case enter:
    return Key::Publish;
  case ctrlZ:
    canvas_.undo();
    showChanges();
    return Key::Taken;
  case ctrlY:
    canvas_.redo();
    showChanges();
    return Key::Taken;
  case 's':
  case 'S':
    choose(std::nullopt);
    return Key::Taken;
  default:
    break;
  }
  if (key >= '1' && key <= '8') {
    if (!tool_) return Key::Ignored;
    styles_.setColour(*tool_, key - '0');
    showTool();
    return Key::Taken;
  }
  if (std::optional<Tool> picked = toolForKey(key)) {
    choose(picked);
    return Key::Taken;
  }
  return Key::Ignored;
}

void Annotator::choose(std::optional<Tool> tool) {
  endTyping(true);
  tool_ = tool == tool_ ? std::nullopt : tool;
  showTool();
}

void Annotator::onWheel(int notches) {
  if (!tool_ || notches == 0) return;
  styles_.changeSize(*tool_, notches);
  restyle();
}

void Annotator::chooseStyle() {
  if (!tool_) return;
  const Style& now = styles_.of(*tool_);
  std::vector<int> sizes = sizeChoices(*tool_, now.size);
  std::vector<platform::SelectionView::MenuItem> items;
  for (std::size_t i = 0; i < palette.size(); ++i)
    items.push_back(
        {std::string(paletteNames[i]) + "\t" + std::to_string(i + 1), now.colour == static_cast<int>(i) + 1});
  if (!sizes.empty()) items.push_back({});
  for (int size : sizes) items.push_back({"Size " + std::to_string(size), size == now.size});
  int picked = view_.chooseFromMenu(items);
  if (picked < 0 || picked >= static_cast<int>(items.size())) return;
  auto index = static_cast<std::size_t>(picked);
  if (index < palette.size())
    styles_.setColour(*tool_, picked + 1);
  else if (index > palette.size())
    styles_.setSize(*tool_, sizes[index - palette.size() - 1]);
  restyle();
}

void Annotator::useResolution(int dpi) {
  styles_.scaleDefaults(dpi);
  showTool();
}

// The text being typed takes the new style at once.
void Annotator::restyle() {
  canvas_.restyle(styles_.colourOf(*tool_), styles_.of(*tool_).size);
  showTool();
  showChanges();
}

void Annotator::press(Point at) {
  if (!tool_) return;
  canvas_.begin(*tool_, styles_.colourOf(*tool_), styles_.of(*tool_).size, at,
                firstStep_ + canvas_.count(Tool::Step));
  showChanges();
}

void Annotator::move(Point at) {
  canvas_.drag(at);
  showChanges();
}

void Annotator::release(Point at) {
  canvas_.release(at);
  showChanges();
}

void Annotator::endTyping(bool keep) {
  canvas_.endTyping(keep);
  showChanges();
}

void Annotator::showTool() {
  if (!tool_) {
    view_.showTool(-1, 0, 0);
    return;
  }
  view_.showTool(static_cast<int>(*tool_), styles_.colourOf(*tool_), styles_.of(*tool_).size);
}

void Annotator::showChanges() {
  Damage changed = canvas_.takeDamage();
  if (!changed.empty()) view_.repaint(changed.rects());
}

} // namespace glimor::capture::marks
