#pragma once
#include <string>
#include <string_view>

namespace glimor::server {

// The fields of the program's feedback form.
struct FeedbackForm {
  std::string name;
  std::string email;
  std::string category;
  std::string text;
};

// The program sends "name=" N "&email=" E "&cat=" C "&text=" T CR LF CR LF with
// the values as typed, not percent-encoded. The body is therefore split at the
// first "&email=", then the first "&cat=" after it, then the first "&text="
// after that; everything after "&text=" is the text, so a text holding "&" or
// "=" survives whole. Throws Refusal 400 when a field is missing.
FeedbackForm parseFeedbackForm(std::string_view body);

} // namespace glimor::server
