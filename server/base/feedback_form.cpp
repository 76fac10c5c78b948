#include "feedback_form.h"

#include "refusal.h"

namespace glimor::server {
namespace {

// The text before `marker` (removed from `rest` together with the marker).
std::string takeUntil(std::string_view& rest, std::string_view marker) {
  std::size_t at = rest.find(marker);
  if (at == std::string_view::npos)
    throw Refusal(400, "Feedback form lacks the field " + std::string(marker.substr(1, marker.size() - 2)));
  std::string field(rest.substr(0, at));
  rest.remove_prefix(at + marker.size());
  return field;
}

} // namespace

FeedbackForm parseFeedbackForm(std::string_view body) {
  if (!body.starts_with("name=")) throw Refusal(400, "Feedback form must start with name=");
  std::string_view rest = body.substr(5);
  FeedbackForm form;
  form.name = takeUntil(rest, "&email=");
  form.email = takeUntil(rest, "&cat=");
  form.category = takeUntil(rest, "&text=");
  // The form ends with two line breaks of its own; they are not part of the text.
  if (rest.ends_with("\r\n\r\n")) rest.remove_suffix(4);
  form.text = rest;
  return form;
}

} // namespace glimor::server
