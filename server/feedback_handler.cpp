#include "feedback_form.h"
#include "service.h"

namespace glimor::server {

Response handleFeedback(Service& service, const Request& request, const Caller&) {
  service.feedback->add(parseFeedbackForm(request.body), request.clientAddress);
  Response response;
  response.contentType = "text/plain; charset=utf-8";
  response.body = "Thank you for your feedback.\r\n";
  return response;
}

} // namespace glimor::server
