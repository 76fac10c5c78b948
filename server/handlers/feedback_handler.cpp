#include "feedback_form.h"
#include "service.h"

namespace glimor::server {

Response handleFeedback(Service& service, const Request& request, const Caller&) {
  FeedbackForm form = parseFeedbackForm(request.body);
  std::uint64_t bytes = form.name.size() + form.email.size() + form.category.size() + form.text.size() +
                        request.clientAddress.size();
  withinStoreLimit(service, bytes, [&] { service.feedback->add(form, request.clientAddress); });
  Response response;
  response.contentType = "text/plain; charset=utf-8";
  response.body = "Thank you for your feedback.\r\n";
  return response;
}

} // namespace glimor::server
